// Optimised Warners encoding of sum of w_i over the true l_i at most k: the
// same balanced tree of adders as WarnersEnc, but the bits of a weighted
// literal are the literal itself or the constant zero, constants are
// propagated through the adders, and a sum bit or carry gets a fresh
// variable only where two or more of its inputs are not constant. With
// use_equiv every sum bit and carry is defined by an equivalence; without
// it only by the implications that force it up, which an upper bound needs.
#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "encodings/card_common.hpp"
#include "encodings/enc_arith.hpp"
#include "encodings/seqcounter.hpp"
#include "encodings/amo_encodings.hpp"
#include "encodings/warnersenc.hpp"

// One bit of a number of the adder tree: side false is the bit, side true
// the carry out of it. A record's state is -1 (not set), 0 (constant zero)
// or 2 (named: the bit is the literal in name).
class KBitInfo {
public:
  struct Record {
    int state;
    long long name;
  };
  void setValue(bool side, int v) {
    auto &r = rec_[side];
    if (!r)
      r.reset(new Record{v, 0});
    else
      r->state = v;
  }
  int getValue(bool side) { return get(side).state; }
  void setName(bool side, long long id) {
    Record &r = get(side);
    r.state = 2;
    r.name = id;
  }
  long long getName(bool side) { return get(side).name; }
  // The record of side, null when absent; creates nothing.
  const Record *peek(bool side) const { return rec_[side].get(); }

private:
  Record &get(bool side) {
    auto &r = rec_[side];
    if (!r)
      r.reset(new Record{-1, 0});
    return *r;
  }
  std::unique_ptr<Record> rec_[2];
};

class USetInfo {
public:
  KBitInfo &find(unsigned bit) {
    auto &p = bits_[bit];
    if (!p)
      p.reset(new KBitInfo);
    return *p;
  }
  const KBitInfo *peek(unsigned bit) const {
    auto it = bits_.find(bit);
    return it == bits_.end() ? nullptr : it->second.get();
  }

private:
  std::map<unsigned, std::unique_ptr<KBitInfo>> bits_;
};

// Names of the bits of every partial sum, keyed by its range (lo, hi).
class VarNamesIndex {
public:
  USetInfo &find(unsigned lo, unsigned hi) {
    auto &p = sets_[std::make_pair(lo, hi)];
    if (!p)
      p.reset(new USetInfo);
    return *p;
  }
  void setName(unsigned lo, unsigned hi, unsigned bit, bool side, long long id) {
    find(lo, hi).find(bit).setName(side, id);
  }
  long long getName(unsigned lo, unsigned hi, unsigned bit, bool side) {
    return find(lo, hi).find(bit).getName(side);
  }
  void setValue(unsigned lo, unsigned hi, unsigned bit, bool side, int value) {
    find(lo, hi).find(bit).setValue(side, value);
  }
  int getValue(unsigned lo, unsigned hi, unsigned bit, bool side) {
    return find(lo, hi).find(bit).getValue(side);
  }
  // State of side false of a bit without creating anything: -1 when the
  // range, the bit or the record is absent.
  int peekValue(unsigned lo, unsigned hi, unsigned bit) const {
    auto it = sets_.find(std::make_pair(lo, hi));
    if (it == sets_.end())
      return -1;
    const KBitInfo *b = it->second->peek(bit);
    if (!b)
      return -1;
    const KBitInfo::Record *r = b->peek(false);
    return r ? r->state : -1;
  }

private:
  std::map<std::pair<unsigned, unsigned>, std::unique_ptr<USetInfo>> sets_;
};

struct WarnersOptEnc {
  static bool use_equiv; // equivalences (true) or implications only

  template <class IDM, class ClSet, class LV, class WV>
  static void encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                             const long long &k) {
    if (k < 0) { // cannot be met; callers never pass it
      enc_detail::add_empty_clause(cs);
      return;
    }
    enc_arith::Wide s = enc_arith::wide_sum(weights);
    if (k >= s)
      return;
    if (k == s - 1) {
      CommonCard::encode_atmostNm1(imgr, cs, lits);
      return;
    }
    if (k == 0) {
      CommonCard::encode_atmost0(imgr, cs, lits);
      return;
    }
    std::vector<long long> kl, kw, E;
    for (std::size_t i = 0; i < lits.size(); ++i) {
      if (weights[i] < k) {
        kl.push_back(lits[i]);
        kw.push_back(weights[i]);
      } else if (weights[i] == k) {
        E.push_back(lits[i]);
      } else {
        enc_detail::add_clause(cs, {-lits[i]});
      }
    }
    // The literals of weight k exclude each other and each one forces y,
    // which takes their place with weight k.
    if (E.size() >= 2) {
      long long y = imgr.new_id();
      E.push_back(-y);
      seqcounter_encode_atmost1(imgr, cs, E);
      kl.push_back(y);
      kw.push_back(k);
    } else if (E.size() == 1) {
      kl.push_back(E[0]);
      kw.push_back(k);
    }
    if (kl.empty())
      return;
    long long kk = k;
    if (normalize(imgr, cs, kl, kw, kk))
      return;
    trans(imgr, cs, kl, kw, kk);
  }

  template <class IDM, class ClSet>
  static bool normalize(IDM &imgr, ClSet &cs, std::vector<long long> &lits,
                        std::vector<long long> &weights, long long &k) {
    return WarnersEnc::normalize(imgr, cs, lits, weights, k);
  }

  template <class IDM, class ClSet>
  static void trans(IDM &imgr, ClSet &cs, std::vector<long long> &lits,
                    std::vector<long long> &weights, long long k) {
    VarNamesIndex index;
    unsigned n = static_cast<unsigned>(lits.size());
    unsigned width = 0;
    trans_sum(imgr, cs, index, lits, weights, n - 1, 0, width);
    Tb(imgr, cs, index, n - 1, 0, width, k);
  }

  template <class IDM, class ClSet>
  static void trans_sum(IDM &imgr, ClSet &cs, VarNamesIndex &index,
                        std::vector<long long> &lits,
                        std::vector<long long> &weights, unsigned hi,
                        unsigned lo, unsigned &width) {
    if (hi == lo) {
      Tmult(index, lo, lits[lo], weights[lo], width);
      return;
    }
    unsigned mid = lo + (hi - lo) / 2;
    unsigned wA = 0, wB = 0;
    trans_sum(imgr, cs, index, lits, weights, mid, lo, wA);
    trans_sum(imgr, cs, index, lits, weights, hi, mid + 1, wB);
    TPlus(imgr, cs, index, mid, lo, wA, hi, mid + 1, wB, width);
  }

  // The bits of w * lit: lit where w has a one, the constant zero elsewhere.
  static void Tmult(VarNamesIndex &index, unsigned i, long long lit,
                    long long w, unsigned &width) {
    std::vector<bool> bits;
    bit_rep(w, bits);
    for (unsigned j = 0; j < bits.size(); ++j) {
      if (bits[j])
        index.setName(i, i, j, false, lit);
      else
        index.setValue(i, i, j, false, 0);
    }
    width = static_cast<unsigned>(bits.size());
  }

  // S = (alo, bhi) := A = (alo, amid) + B = (blo, bhi).
  template <class IDM, class ClSet>
  static void TPlus(IDM &imgr, ClSet &cs, VarNamesIndex &index, unsigned amid,
                    unsigned alo, unsigned awidth, unsigned bhi, unsigned blo,
                    unsigned bwidth, unsigned &width) {
    TPlusEq4Eq5(imgr, cs, index, amid, alo, bhi, blo);
    TPlusEq6Eq7Eq8(imgr, cs, index, amid, alo, awidth, bhi, blo, bwidth, width);
  }

  // Bit 0 of S: a half adder when both inputs are named.
  template <class IDM, class ClSet>
  static void TPlusEq4Eq5(IDM &imgr, ClSet &cs, VarNamesIndex &index,
                          unsigned amid, unsigned alo, unsigned bhi,
                          unsigned blo) {
    bool az = index.getValue(alo, amid, 0, false) == 0;
    bool bz = index.getValue(blo, bhi, 0, false) == 0;
    if (!az && !bz) {
      long long s = imgr.new_id();
      index.setName(alo, bhi, 0, false, s);
      long long c = imgr.new_id();
      index.setName(alo, bhi, 0, true, c);
      Sum2Vars(cs, index.getName(alo, amid, 0, false),
               index.getName(blo, bhi, 0, false), s, c);
    } else if (az != bz) {
      long long name = az ? index.getName(blo, bhi, 0, false)
                          : index.getName(alo, amid, 0, false);
      index.setName(alo, bhi, 0, false, name);
      index.setValue(alo, bhi, 0, true, 0);
    } else {
      index.setValue(alo, bhi, 0, false, 0);
      index.setValue(alo, bhi, 0, true, 0);
    }
  }

  // Bits 1 upwards and the top carry of S.
  template <class IDM, class ClSet>
  static void TPlusEq6Eq7Eq8(IDM &imgr, ClSet &cs, VarNamesIndex &index,
                             unsigned amid, unsigned alo, unsigned awidth,
                             unsigned bhi, unsigned blo, unsigned bwidth,
                             unsigned &width) {
    unsigned W = std::max(awidth, bwidth);
    width = W;
    bool a_wider = awidth > bwidth;
    for (unsigned i = 1; i < W; ++i) {
      int as, bs;
      if (a_wider) {
        as = index.getValue(alo, amid, i, false);
        int p = index.peekValue(blo, bhi, i);
        bs = p == -1 ? 0 : p;
      } else {
        bs = index.getValue(blo, bhi, i, false);
        int p = index.peekValue(alo, amid, i);
        as = p == -1 ? 0 : p;
      }
      bool az = as == 0, bz = bs == 0;
      bool cz = index.getValue(alo, bhi, i - 1, true) == 0;
      long long A = az ? 0 : index.getName(alo, amid, i, false);
      long long B = bz ? 0 : index.getName(blo, bhi, i, false);
      long long C = cz ? 0 : index.getName(alo, bhi, i - 1, true);
      int Z = az + bz + cz;
      if (Z == 3) {
        index.setValue(alo, bhi, i, false, 0);
        index.setValue(alo, bhi, i, true, 0);
      } else if (Z == 2) {
        index.setValue(alo, bhi, i, true, 0);
        index.setName(alo, bhi, i, false, !az ? A : (bz ? C : B));
      } else if (Z == 1) {
        long long s = imgr.new_id();
        index.setName(alo, bhi, i, false, s);
        long long co = imgr.new_id();
        index.setName(alo, bhi, i, true, co);
        if (az)
          Sum2Vars(cs, B, C, s, co);
        else if (cz)
          Sum2Vars(cs, A, B, s, co);
        else
          Sum2Vars(cs, A, C, s, co);
      } else {
        long long s = imgr.new_id();
        index.setName(alo, bhi, i, false, s);
        long long co = imgr.new_id();
        index.setName(alo, bhi, i, true, co);
        Sum3Vars(cs, A, B, C, s, co);
      }
    }
    if (index.getValue(alo, bhi, W - 1, true) != 0) {
      index.setName(alo, bhi, W, false, index.getName(alo, bhi, W - 1, true));
      width = W + 1;
    }
  }

  // Half adder: s >= x XOR y and c >= x AND y (equalities with use_equiv).
  template <class ClSet>
  static void Sum2Vars(ClSet &cs, long long x, long long y, long long s,
                       long long c) {
    using enc_detail::add_clause;
    add_clause(cs, {s, x, -y});
    add_clause(cs, {s, -x, y});
    if (use_equiv) {
      add_clause(cs, {-s, -x, -y});
      add_clause(cs, {-s, x, y});
    }
    add_clause(cs, {c, -x, -y});
    if (use_equiv) {
      add_clause(cs, {-c, x});
      add_clause(cs, {-c, y});
    }
  }

  // Full adder: s >= a XOR b XOR c and co >= maj(a, b, c).
  template <class ClSet>
  static void Sum3Vars(ClSet &cs, long long a, long long b, long long c,
                       long long s, long long co) {
    using enc_detail::add_clause;
    add_clause(cs, {s, -a, b, c});
    add_clause(cs, {s, -a, -b, -c});
    add_clause(cs, {s, a, -b, c});
    add_clause(cs, {s, a, b, -c});
    if (use_equiv) {
      add_clause(cs, {-s, a, b, c});
      add_clause(cs, {-s, a, -b, -c});
      add_clause(cs, {-s, -a, -b, c});
      add_clause(cs, {-s, -a, b, -c});
    }
    add_clause(cs, {co, -a, -b});
    add_clause(cs, {co, -a, -c});
    add_clause(cs, {co, -b, -c});
    if (use_equiv) {
      add_clause(cs, {-co, a, b});
      add_clause(cs, {-co, a, c});
      add_clause(cs, {-co, b, c});
    }
  }

  // S = (lo, hi) is at most k; clauses that a constant zero bit already
  // satisfies are left out.
  template <class IDM, class ClSet>
  static void Tb(IDM &, ClSet &cs, VarNamesIndex &index, unsigned hi,
                 unsigned lo, unsigned width, long long k) {
    std::vector<bool> K;
    bit_rep(k, K);
    unsigned L = static_cast<unsigned>(K.size());
    if (L > width) // k reaches 2^width: no total can exceed it
      return;
    auto zero = [&](unsigned i) { return index.getValue(lo, hi, i, false) == 0; };
    for (unsigned i = 0; i < L; ++i) {
      if (K[i])
        continue;
      bool holds = zero(i);
      std::vector<long long> cl;
      if (!holds)
        cl.push_back(-index.getName(lo, hi, i, false));
      for (unsigned j = i + 1; j < L && !holds; ++j)
        if (K[j]) {
          if (zero(j))
            holds = true;
          else
            cl.push_back(-index.getName(lo, hi, j, false));
        }
      if (!holds)
        cs.create_clause(cl);
    }
    for (unsigned i = L; i < width; ++i)
      if (!zero(i))
        enc_detail::add_clause(cs, {-index.getName(lo, hi, i, false)});
  }

  static void bit_rep(long long v, std::vector<bool> &bits) {
    WarnersEnc::bit_rep(v, bits);
  }
};

#include "encodings/pbsort.hpp"

long long *PBSortingNetworks::truevar = nullptr;
long long *PBSortingNetworks::falsevar = nullptr;
const long long PBSortingNetworks::kPrimes[8] = {2, 3, 5, 7, 11, 13, 17, 19};

void PBSortingNetworks::initialize() {
  if (!truevar)
    truevar = new long long(0);
  if (!falsevar)
    falsevar = new long long(0);
  *truevar = 0;
  *falsevar = 0;
}

void PBSortingNetworks::finalize() {
  delete truevar;
  delete falsevar;
  truevar = nullptr;
  falsevar = nullptr;
}

void PBSortingNetworks::normalize(std::vector<long long> &weights,
                                  long long &k) {
  if (weights.size() < 2)
    return;
  long long g = *std::min_element(weights.begin(), weights.end());
  if (g == 1)
    return;
  for (long long w : weights) {
    g = enc_arith::gcd(g, w);
    if (g == 1)
      return;
  }
  if (g <= 1) // weights of 0 or below: leave them as they are
    return;
  for (long long &w : weights)
    w /= g;
  k = k / g + (k % g != 0);
}

void PBSortingNetworks::setBuckets(const std::vector<int> &base,
                                   std::vector<enc_arith::Wide> &P) {
  P.assign(1, 1);
  for (int b : base) {
    enc_arith::Wide next = P.back() * kPrimes[b];
    // Past 2^64 every 64-bit number has digit 0 there; keep the value bounded.
    if (next > (static_cast<enc_arith::Wide>(1) << 70))
      next = static_cast<enc_arith::Wide>(1) << 70;
    P.push_back(next);
  }
}

void PBSortingNetworks::dinB(std::vector<long long> &digits, long long x,
                             const std::vector<enc_arith::Wide> &P) {
  std::size_t m = P.size() - 1;
  digits.assign(m + 1, 0);
  enc_arith::Wide r = x;
  for (std::size_t j = m + 1; j-- > 0;) {
    digits[j] = static_cast<long long>(r / P[j]);
    r %= P[j];
  }
}

// Digits the base search may compute once its first descent (binary digits
// down to the first base that holds every weight) is over. The number of
// candidate bases grows exponentially with the digits of the largest
// weight; past this many the best base found so far is kept.
constexpr long long kBaseSearchBudget = 1LL << 24;

void PBSortingNetworks::findBestBase(std::vector<int> &base,
                                     const std::vector<long long> &weights) {
  std::vector<int> cand{0}, kept;
  enc_arith::Wide kept_cost = 0;
  long long work = 0; // digits computed so far
  std::vector<enc_arith::Wide> P;
  std::vector<long long> d;
  for (;;) {
    setBuckets(cand, P);
    std::size_t m = cand.size();
    enc_arith::Wide cost = 0, lb = 0;
    bool top = false;
    for (long long w : weights) {
      dinB(d, w, P);
      for (std::size_t j = 0; j < m; ++j) {
        cost += d[j];
        lb += d[j];
      }
      cost += d[m];
      if (d[m] != 0) {
        lb += 1;
        top = true;
      }
    }
    if (kept_cost == 0 || cost < kept_cost ||
        (cost == kept_cost && cand.size() < kept.size())) {
      kept = cand;
      kept_cost = cost;
    }
    work += static_cast<long long>(weights.size() * (m + 1));
    if (top && kept_cost > lb) {
      cand.push_back(0);
      continue;
    }
    if (work > kBaseSearchBudget)
      break;
    if (cand.size() == 1) {
      if (cand[0] < 7)
        ++cand[0];
      else
        break;
      continue;
    }
    cand.pop_back();
    while (cand.size() > 1 && cand.back() == 7)
      cand.pop_back();
    ++cand.back();
    if (cand.size() == 1 && cand[0] > 7)
      break;
  }
  base = kept;
}

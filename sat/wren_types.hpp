// Basic types of the Wren CDCL solver: literals coded as 2v+s, one-byte
// truth values, a growable array with 32-bit size and capacity, a sort that
// takes a comparator, the binary decision heap, lazily cleaned watch lists
// and the clause arena of 32-bit words addressed by 32-bit references.
//
// Every size here is a 32-bit quantity, so each growth step is checked:
// a container or arena that would pass its 32-bit limit throws
// OutOfMemoryException rather than wrapping round.
#pragma once

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>

namespace Wren {

// Raised when a container or the clause arena cannot grow (32-bit limit
// passed or the allocation failed). The solver does not catch it.
class OutOfMemoryException : public std::exception {
 public:
  const char* what() const noexcept override {
    return "wren: out of memory (allocation failed or 32-bit size limit passed)";
  }
};

// Ends the process with a "*** wren: " message on the error stream and exit
// status 3: used for input the solver cannot represent (a variable or clause
// beyond its 32-bit coding, a literal of a variable never created).
[[noreturn]] void fatal(const char* fmt, ...);

//=============================================================================
// Variables and literals

using Var = int;
constexpr Var var_Undef = -1;

// Largest number of variables. The negative literal of the last variable,
// 2v+1, and the size of the per-literal watch lists, 2v+2, must fit a 32-bit
// signed integer: variables 0 .. 2^30 - 2.
constexpr int max_vars = (1 << 30) - 1;

struct Lit {
  int x;
  bool operator==(Lit p) const { return x == p.x; }
  bool operator!=(Lit p) const { return x != p.x; }
  bool operator<(Lit p) const { return x < p.x; }
};

inline Lit mkLit(Var v, bool sign = false) { return Lit{v + v + (int)sign}; }
inline Lit operator~(Lit p) { return Lit{p.x ^ 1}; }
inline Lit operator^(Lit p, bool b) { return Lit{p.x ^ (int)b}; }
inline bool sign(Lit p) { return p.x & 1; }
inline int var(Lit p) { return p.x >> 1; }
inline int toInt(Lit p) { return p.x; }
inline Lit toLit(int i) { return Lit{i}; }

constexpr Lit lit_Undef{-2};
constexpr Lit lit_Error{-1};

//=============================================================================
// Truth values: 0 true, 1 false, 2 (any value with bit 1 set) undefined.

class lbool {
  uint8_t value;

 public:
  constexpr explicit lbool(uint8_t v) : value(v) {}
  constexpr lbool() : value(0) {}
  explicit lbool(bool x) : value(!x) {}

  bool operator==(lbool b) const {
    return ((b.value & 2) & (value & 2)) | (!(b.value & 2) & (value == b.value));
  }
  bool operator!=(lbool b) const { return !(*this == b); }
  lbool operator^(bool b) const { return lbool((uint8_t)(value ^ (uint8_t)b)); }
  uint8_t raw() const { return value; }
};

constexpr lbool l_True((uint8_t)0);
constexpr lbool l_False((uint8_t)1);
constexpr lbool l_Undef((uint8_t)2);

//=============================================================================
// vec: data pointer, 32-bit size, 32-bit capacity. Elements are moved
// bitwise when the storage is reallocated.

template <class T>
class vec {
  T* data = nullptr;
  int sz = 0;
  int cap = 0;

 public:
  vec() = default;
  explicit vec(int size) { growTo(size); }
  vec(int size, const T& pad) { growTo(size, pad); }
  ~vec() { clear(true); }
  vec(const vec&) = delete;
  vec& operator=(const vec&) = delete;

  operator T*() { return data; }

  int size() const { return sz; }
  int capacity() const { return cap; }
  void shrink(int nelems) {
    for (int i = 0; i < nelems; i++) data[--sz].~T();
  }
  void shrink_(int nelems) { sz -= nelems; }
  void pop() { data[--sz].~T(); }

  // Ensures room for at least min_cap elements. Growth adds
  // max((min_cap - cap + 1) & ~1, (cap / 2 + 2) & ~1) slots.
  void capacity(int min_cap) {
    if (cap >= min_cap) return;
    long long add = (((long long)min_cap - cap + 1) & ~1LL);
    long long add2 = ((cap >> 1) + 2) & ~1;
    if (add2 > add) add = add2;
    if (add > (long long)INT_MAX - cap) throw OutOfMemoryException();
    int ncap = cap + (int)add;
    void* p = ::realloc((void*)data, (size_t)ncap * sizeof(T));
    if (p == nullptr) throw OutOfMemoryException();
    data = static_cast<T*>(p);
    cap = ncap;
  }
  void growTo(int size) {
    if (sz >= size) return;
    capacity(size);
    for (int i = sz; i < size; i++) new (&data[i]) T();
    sz = size;
  }
  void growTo(int size, const T& pad) {
    if (sz >= size) return;
    capacity(size);
    for (int i = sz; i < size; i++) new (&data[i]) T(pad);
    sz = size;
  }
  void clear(bool dealloc = false) {
    if (data != nullptr) {
      for (int i = 0; i < sz; i++) data[i].~T();
      sz = 0;
      if (dealloc) {
        ::free((void*)data);
        data = nullptr;
        cap = 0;
      }
    }
  }

  void push() {
    if (sz == cap) capacity(sz + 1);
    new (&data[sz]) T();
    sz++;
  }
  void push(const T& elem) {
    if (sz == cap) capacity(sz + 1);
    new (&data[sz++]) T(elem);
  }
  void push_(const T& elem) { data[sz++] = elem; }

  const T& last() const { return data[sz - 1]; }
  T& last() { return data[sz - 1]; }
  const T& operator[](int index) const { return data[index]; }
  T& operator[](int index) { return data[index]; }

  void copyTo(vec<T>& copy) const {
    copy.clear();
    copy.growTo(sz);
    for (int i = 0; i < sz; i++) copy[i] = data[i];
  }
  void moveTo(vec<T>& dest) {
    dest.clear(true);
    dest.data = data;
    dest.sz = sz;
    dest.cap = cap;
    data = nullptr;
    sz = 0;
    cap = 0;
  }
};

//=============================================================================
// Sorting: selection sort up to 15 elements, otherwise quicksort around the
// middle element.

template <class T>
struct LessThan_default {
  bool operator()(T x, T y) const { return x < y; }
};

template <class T, class LessThan>
void selectionSort(T* array, int size, LessThan lt) {
  for (int i = 0; i < size - 1; i++) {
    int best_i = i;
    for (int j = i + 1; j < size; j++)
      if (lt(array[j], array[best_i])) best_i = j;
    T tmp = array[i];
    array[i] = array[best_i];
    array[best_i] = tmp;
  }
}

template <class T, class LessThan>
void sort(T* array, int size, LessThan lt) {
  if (size <= 15) {
    selectionSort(array, size, lt);
    return;
  }
  T pivot = array[size / 2];
  int i = -1;
  int j = size;
  for (;;) {
    do i++;
    while (lt(array[i], pivot));
    do j--;
    while (lt(pivot, array[j]));
    if (i >= j) break;
    T tmp = array[i];
    array[i] = array[j];
    array[j] = tmp;
  }
  sort(array, i, lt);
  sort(&array[i], size - i, lt);
}

template <class T, class LessThan>
void sort(vec<T>& v, LessThan lt) {
  sort((T*)v, v.size(), lt);
}
template <class T>
void sort(vec<T>& v) {
  sort(v, LessThan_default<T>());
}

//=============================================================================
// Binary heap of variables; Comp(a, b) is true when a must come before b
// (greater activity). Children of position i are at 2i+1 and 2i+2.

template <class Comp>
class Heap {
  Comp lt;
  vec<int> heap;     // heap of variables
  vec<int> indices;  // position of each variable in heap, -1 when absent

  static int left(int i) { return i * 2 + 1; }
  static int right(int i) { return (i + 1) * 2; }
  static int parent(int i) { return (i - 1) >> 1; }

  void percolateUp(int i) {
    int x = heap[i];
    int p = parent(i);
    while (i != 0 && lt(x, heap[p])) {
      heap[i] = heap[p];
      indices[heap[p]] = i;
      i = p;
      p = parent(p);
    }
    heap[i] = x;
    indices[x] = i;
  }

  void percolateDown(int i) {
    int x = heap[i];
    while (left(i) < heap.size()) {
      int child = right(i) < heap.size() && lt(heap[right(i)], heap[left(i)])
                      ? right(i)
                      : left(i);
      if (!lt(heap[child], x)) break;
      heap[i] = heap[child];
      indices[heap[i]] = i;
      i = child;
    }
    heap[i] = x;
    indices[x] = i;
  }

 public:
  explicit Heap(const Comp& c) : lt(c) {}

  int size() const { return heap.size(); }
  bool empty() const { return heap.size() == 0; }
  bool inHeap(int n) const { return n < indices.size() && indices[n] >= 0; }
  int operator[](int index) const { return heap[index]; }

  void decrease(int n) { percolateUp(indices[n]); }

  void insert(int n) {
    indices.growTo(n + 1, -1);
    indices[n] = heap.size();
    heap.push(n);
    percolateUp(indices[n]);
  }

  int removeMin() {
    int x = heap[0];
    heap[0] = heap.last();
    indices[heap[0]] = 0;
    indices[x] = -1;
    heap.pop();
    if (heap.size() > 1) percolateDown(0);
    return x;
  }

  // Rebuilds the heap from ns, keeping equal entries in list order.
  void build(const vec<int>& ns) {
    for (int i = 0; i < heap.size(); i++) indices[heap[i]] = -1;
    heap.clear();
    for (int i = 0; i < ns.size(); i++) {
      indices.growTo(ns[i] + 1, -1);
      indices[ns[i]] = i;
      heap.push(ns[i]);
    }
    for (int i = heap.size() / 2 - 1; i >= 0; i--) percolateDown(i);
  }

  void clear(bool dealloc = false) {
    for (int i = 0; i < heap.size(); i++) indices[heap[i]] = -1;
    heap.clear(dealloc);
  }
};

//=============================================================================
// Watch lists with lazy deletion: a list marked dirty is cleaned of the
// entries that Deleted reports before it is next read in bulk.

template <class Idx, class Vec, class Deleted>
class OccLists {
  vec<Vec> occs;
  vec<char> dirty;
  vec<Idx> dirties;
  Deleted deleted;

 public:
  explicit OccLists(const Deleted& d) : deleted(d) {}

  void init(const Idx& idx) {
    occs.growTo(toInt(idx) + 1);
    dirty.growTo(toInt(idx) + 1, 0);
  }
  Vec& operator[](const Idx& idx) { return occs[toInt(idx)]; }
  Vec& lookup(const Idx& idx) {
    if (dirty[toInt(idx)]) clean(idx);
    return occs[toInt(idx)];
  }

  void cleanAll() {
    for (int i = 0; i < dirties.size(); i++)
      if (dirty[toInt(dirties[i])]) clean(dirties[i]);
    dirties.clear();
  }
  void clean(const Idx& idx) {
    Vec& v = occs[toInt(idx)];
    int i, j;
    for (i = j = 0; i < v.size(); i++)
      if (!deleted(v[i])) v[j++] = v[i];
    v.shrink(i - j);
    dirty[toInt(idx)] = 0;
  }
  void smudge(const Idx& idx) {
    if (dirty[toInt(idx)] == 0) {
      dirty[toInt(idx)] = 1;
      dirties.push(idx);
    }
  }
  void clear(bool dealloc = true) {
    occs.clear(dealloc);
    dirty.clear(dealloc);
    dirties.clear(dealloc);
  }
};

//=============================================================================
// Clauses in the arena. Header word: bits 0-1 mark (0 live, 1 removed),
// bit 2 learned, bit 3 has extra word, bit 4 relocated, bits 5-31 size.
// The literals follow; the extra word (activity of a learned clause or the
// variable abstraction of a problem clause) comes last.

using CRef = uint32_t;
constexpr CRef CRef_Undef = UINT32_MAX;

// Longest clause the 27-bit size field can hold.
constexpr int max_clause_size = (1 << 27) - 1;

class Clause {
  uint32_t header;
  union Word {
    Lit lit;
    float act;
    uint32_t abs;
    CRef rel;
  } data[0];

  friend class ClauseAllocator;

  static uint32_t mkHeader(int size, bool learnt, bool has_extra) {
    return ((uint32_t)size << 5) | ((uint32_t)has_extra << 3) |
           ((uint32_t)learnt << 2);
  }

  template <class V>
  Clause(const V& ps, bool use_extra, bool learnt) {
    header = mkHeader(ps.size(), learnt, use_extra);
    for (int i = 0; i < ps.size(); i++) data[i].lit = ps[i];
    if (has_extra()) {
      if (learnt)
        data[size()].act = 0;
      else
        calcAbstraction();
    }
  }

 public:
  void calcAbstraction() {
    uint32_t abstraction = 0;
    for (int i = 0; i < size(); i++) abstraction |= 1u << (var(data[i].lit) & 31);
    data[size()].abs = abstraction;
  }

  int size() const { return (int)(header >> 5); }
  void shrink(int i) {
    header = mkHeader(size() - i, learnt(), has_extra()) | (header & 0x13u);
  }
  bool learnt() const { return (header >> 2) & 1; }
  bool has_extra() const { return (header >> 3) & 1; }
  uint32_t mark() const { return header & 3u; }
  void mark(uint32_t m) { header = (header & ~3u) | (m & 3u); }
  bool reloced() const { return (header >> 4) & 1; }
  CRef relocation() const { return data[0].rel; }
  void relocate(CRef c) {
    header |= 1u << 4;
    data[0].rel = c;
  }
  const Lit& last() const { return data[size() - 1].lit; }

  Lit& operator[](int i) { return data[i].lit; }
  Lit operator[](int i) const { return data[i].lit; }
  operator const Lit*() const { return (const Lit*)data; }

  float& activity() { return data[size()].act; }
  uint32_t abstraction() const { return data[size()].abs; }
};

// Region of 32-bit words: pointer, used size, capacity, wasted count.
class ClauseAllocator {
  uint32_t* memory = nullptr;
  uint32_t sz = 0;
  uint32_t cap = 0;
  uint32_t wasted_ = 0;

  // Grows by cap/2 + cap/8 + 2 (rounded down to even) until min_cap fits.
  void capacity(uint32_t min_cap) {
    if (cap >= min_cap) return;
    uint32_t prev_cap = cap;
    while (cap < min_cap) {
      uint32_t delta = ((cap >> 1) + (cap >> 3) + 2) & ~1u;
      if (delta > UINT32_MAX - cap) throw OutOfMemoryException();
      cap += delta;
    }
    void* p = ::realloc(memory, (size_t)cap * sizeof(uint32_t));
    if (p == nullptr) {
      cap = prev_cap;
      throw OutOfMemoryException();
    }
    memory = static_cast<uint32_t*>(p);
  }

  CRef allocWords(int size) {
    if ((uint64_t)sz + (uint64_t)size >= (uint64_t)CRef_Undef)
      throw OutOfMemoryException();
    capacity(sz + (uint32_t)size);
    uint32_t prev = sz;
    sz += (uint32_t)size;
    return prev;
  }

 public:
  static constexpr int Unit_Size = sizeof(uint32_t);
  static constexpr uint32_t initial_capacity = 1024 * 1024;

  bool extra_clause_field = false;

  explicit ClauseAllocator(uint32_t start_cap) { capacity(start_cap); }
  ClauseAllocator() : ClauseAllocator(initial_capacity) {}
  ~ClauseAllocator() { ::free(memory); }
  ClauseAllocator(const ClauseAllocator&) = delete;
  ClauseAllocator& operator=(const ClauseAllocator&) = delete;

  uint32_t size() const { return sz; }
  uint32_t wasted() const { return wasted_; }
  uint32_t capacity() const { return cap; }

  void moveTo(ClauseAllocator& to) {
    ::free(to.memory);
    to.memory = memory;
    to.sz = sz;
    to.cap = cap;
    to.wasted_ = wasted_;
    memory = nullptr;
    sz = cap = wasted_ = 0;
  }

  template <class Lits>
  CRef alloc(const Lits& ps, bool learnt = false) {
    if (ps.size() > max_clause_size)
      fatal("clause of %d literals exceeds the limit of %d", ps.size(),
            max_clause_size);
    bool use_extra = learnt | extra_clause_field;
    CRef cid = allocWords(1 + ps.size() + (int)use_extra);
    new (lea(cid)) Clause(ps, use_extra, learnt);
    return cid;
  }

  Clause& operator[](CRef r) { return *reinterpret_cast<Clause*>(&memory[r]); }
  const Clause& operator[](CRef r) const {
    return *reinterpret_cast<const Clause*>(&memory[r]);
  }
  Clause* lea(CRef r) { return reinterpret_cast<Clause*>(&memory[r]); }
  const Clause* lea(CRef r) const {
    return reinterpret_cast<const Clause*>(&memory[r]);
  }
  CRef ael(const Clause* t) const {
    return (CRef)(reinterpret_cast<const uint32_t*>(t) - memory);
  }

  void free(CRef cid) {
    Clause& c = operator[](cid);
    wasted_ += 1 + (uint32_t)c.size() + (uint32_t)c.has_extra();
  }

  // Moves clause cr into `to` once; later calls follow the forward reference.
  void reloc(CRef& cr, ClauseAllocator& to) {
    Clause& c = operator[](cr);
    if (c.reloced()) {
      cr = c.relocation();
      return;
    }
    cr = to.alloc(c, c.learnt());
    c.relocate(cr);
    Clause& nc = to[cr];
    nc.mark(c.mark());
    if (nc.learnt())
      nc.activity() = c.activity();
    else if (nc.has_extra())
      nc.calcAbstraction();
  }
};

}  // namespace Wren

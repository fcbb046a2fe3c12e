// Types and small utilities shared by every part of the pseudo-Boolean
// translator: its 64-bit integer `Int`, its literal `Lit` (2v + s), its truth
// value `lbool`, the growable array `vec`, `Pair`, sorting, a binary heap, a
// chained hash map, and formatted-string helpers. The translator keeps these
// types of its own (apart from the rest of the system's ±v literals) so that
// the clause store, the formula environment, the clausifier, the
// variable-elimination preprocessor and the bridge in encodings/ speak one
// language.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <type_traits>

//=============================================================================
// Int: 64-bit signed integer with plain arithmetic. Overflow-prone spots use
// the checked helpers below; the operators themselves never wrap.

class Int {
  int64_t v_;

public:
  // A default-constructed Int means "not set".
  Int() : v_(INT64_MIN) {}
  Int(int64_t x) : v_(x) {} // NOLINT: implicit on purpose, like a number
  int64_t value() const { return v_; }

  friend Int operator+(Int a, Int b) { return Int(a.v_ + b.v_); }
  friend Int operator-(Int a, Int b) { return Int(a.v_ - b.v_); }
  friend Int operator*(Int a, Int b) { return Int(a.v_ * b.v_); }
  friend Int operator/(Int a, Int b) { return Int(a.v_ / b.v_); }
  friend Int operator%(Int a, Int b) { return Int(a.v_ % b.v_); }
  Int operator-() const { return Int(-v_); }
  Int &operator+=(Int o) {
    v_ += o.v_;
    return *this;
  }
  Int &operator-=(Int o) {
    v_ -= o.v_;
    return *this;
  }
  Int &operator/=(Int o) {
    v_ /= o.v_;
    return *this;
  }
  friend bool operator==(Int a, Int b) { return a.v_ == b.v_; }
  friend bool operator!=(Int a, Int b) { return a.v_ != b.v_; }
  friend bool operator<(Int a, Int b) { return a.v_ < b.v_; }
  friend bool operator<=(Int a, Int b) { return a.v_ <= b.v_; }
  friend bool operator>(Int a, Int b) { return a.v_ > b.v_; }
  friend bool operator>=(Int a, Int b) { return a.v_ >= b.v_; }
};

// No upper bound / no lower bound. Int_MIN is -(2^63-1), one above the
// "not set" value of a default-constructed Int.
const Int Int_MAX = Int(INT64_MAX);
const Int Int_MIN = Int(-INT64_MAX);

// Checked arithmetic: true when the exact result does not fit (r untouched
// then).
inline bool add_overflows(Int a, Int b, Int &r) {
  int64_t x;
  if (__builtin_add_overflow(a.value(), b.value(), &x))
    return true;
  r = Int(x);
  return false;
}
inline bool sub_overflows(Int a, Int b, Int &r) {
  int64_t x;
  if (__builtin_sub_overflow(a.value(), b.value(), &x))
    return true;
  r = Int(x);
  return false;
}
inline bool neg_overflows(Int a, Int &r) { return sub_overflows(Int(0), a, r); }

// a - b clamped to [INT64_MIN, INT64_MAX]; for bounds whose exact value
// lies beyond every reachable sum.
inline Int sub_saturating(Int a, Int b) {
  Int r;
  if (!sub_overflows(a, b, r))
    return r;
  return b < Int(0) ? Int(INT64_MAX) : Int(INT64_MIN);
}

//=============================================================================
// Lit: 2v + s, for variable v >= 0 and sign s (1 = negated).

class Lit {
  int x;

public:
  Lit() : x(-2) {} // lit_Undef
  explicit Lit(int var, bool sgn = false) : x(var + var + (int)sgn) {}
  static Lit fromInt(int i) {
    Lit p;
    p.x = i;
    return p;
  }
  int code() const { return x; }
  bool operator==(Lit q) const { return x == q.x; }
  bool operator!=(Lit q) const { return x != q.x; }
  bool operator<(Lit q) const { return x < q.x; }
};
inline int toInt(Lit p) { return p.code(); }
inline Lit toLit(int i) { return Lit::fromInt(i); }
inline Lit operator~(Lit p) { return toLit(toInt(p) ^ 1); }
inline bool sign(Lit p) { return toInt(p) & 1; }
inline int var(Lit p) { return toInt(p) >> 1; }
inline Lit unsign(Lit p) { return toLit(toInt(p) & ~1); }

const Lit lit_Undef = toLit(-2);
const Lit lit_Error = toLit(-1);

//=============================================================================
// lbool: 1 true, -1 false, 0 undefined, 0x80000000 error (an eliminated
// variable of the preprocessor). Negation is arithmetic minus; the error
// value negates to itself.

class lbool {
  int value;

public:
  constexpr lbool() : value(0) {}
  constexpr explicit lbool(int v) : value(v) {}
  explicit lbool(bool b) : value((int)b * 2 - 1) {}
  int toInt() const { return value; }
  bool operator==(lbool o) const { return value == o.value; }
  bool operator!=(lbool o) const { return value != o.value; }
  lbool operator~() const { return value == INT32_MIN ? *this : lbool(-value); }
};
const lbool l_True = lbool(1);
const lbool l_False = lbool(-1);
const lbool l_Undef = lbool(0);
const lbool l_Error = lbool(INT32_MIN);

//=============================================================================
// Memory helpers.

// Releases storage allocated by the containers (malloc family).
template <class T> inline void xfree(T *ptr) { std::free((void *)ptr); }

// Out of memory: the translator has no way to go on.
[[noreturn]] void pbt_out_of_memory();

//=============================================================================
// vec: growable array (data pointer, 32-bit size, 32-bit capacity). Growth:
// an empty array takes max(2, needed); a full one grows to
// (capacity * 3 + 1) / 2, repeatedly, until the needed size fits. Elements
// are moved bitwise on reallocation.

template <class T> class vec {
  T *data;
  int sz;
  int cap;

  void grow(int min_cap) {
    if (min_cap <= cap)
      return;
    int64_t c = cap;
    if (c == 0)
      c = min_cap > 2 ? min_cap : 2;
    else
      while (c < min_cap)
        c = (c * 3 + 1) / 2;
    if (c > INT32_MAX)
      pbt_out_of_memory();
    void *p = std::realloc((void *)data, (size_t)c * sizeof(T));
    if (p == nullptr)
      pbt_out_of_memory();
    data = static_cast<T *>(p);
    cap = (int)c;
  }

public:
  vec() : data(nullptr), sz(0), cap(0) {}
  explicit vec(int size) : data(nullptr), sz(0), cap(0) { growTo(size); }
  vec(int size, const T &pad) : data(nullptr), sz(0), cap(0) {
    growTo(size, pad);
  }
  ~vec() { clear(true); }
  vec(const vec &) = delete;
  vec &operator=(const vec &) = delete;
  vec(vec &&other) noexcept : data(other.data), sz(other.sz), cap(other.cap) {
    other.data = nullptr;
    other.sz = other.cap = 0;
  }

  int size() const { return sz; }
  int capacity() const { return cap; }
  // Makes room for at least n elements without changing the size.
  void reserve(int n) { grow(n); }
  void shrink(int nelems) {
    for (int i = 0; i < nelems; i++)
      data[--sz].~T();
  }
  void pop() { data[--sz].~T(); }
  void push() {
    if (sz == cap)
      grow(sz + 1);
    new (&data[sz]) T();
    sz++;
  }
  void push(const T &elem) {
    if (sz == cap) {
      T copy(elem); // elem may live inside this array
      grow(sz + 1);
      new (&data[sz]) T(copy);
    } else
      new (&data[sz]) T(elem);
    sz++;
  }
  const T &last() const { return data[sz - 1]; }
  T &last() { return data[sz - 1]; }
  const T &operator[](int index) const { return data[index]; }
  T &operator[](int index) { return data[index]; }
  T *begin() { return data; }
  T *end() { return data + sz; }
  const T *begin() const { return data; }
  const T *end() const { return data + sz; }

  void growTo(int size) {
    if (sz >= size)
      return;
    grow(size);
    for (int i = sz; i < size; i++)
      new (&data[i]) T();
    sz = size;
  }
  void growTo(int size, const T &pad) {
    if (sz >= size)
      return;
    grow(size);
    for (int i = sz; i < size; i++)
      new (&data[i]) T(pad);
    sz = size;
  }
  // Empties the array; with release the storage is freed as well.
  void clear(bool release = false) {
    if (data == nullptr)
      return;
    for (int i = 0; i < sz; i++)
      data[i].~T();
    sz = 0;
    if (release) {
      xfree(data);
      data = nullptr;
      cap = 0;
    }
  }
  void copyTo(vec<T> &copy) const {
    copy.clear();
    copy.growTo(sz);
    for (int i = 0; i < sz; i++)
      copy[i] = data[i];
  }
  void moveTo(vec<T> &dest) {
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
// Pair, compared lexicographically.

template <class Fst, class Snd> struct Pair {
  Fst fst;
  Snd snd;
  Pair() = default;
  Pair(const Fst &x, const Snd &y) : fst(x), snd(y) {}
  bool operator==(const Pair &o) const { return fst == o.fst && snd == o.snd; }
};
template <class Fst, class Snd>
inline Pair<Fst, Snd> Pair_new(const Fst &x, const Snd &y) {
  return Pair<Fst, Snd>(x, y);
}
template <class Fst, class Snd>
inline bool operator<(const Pair<Fst, Snd> &x, const Pair<Fst, Snd> &y) {
  return x.fst < y.fst || (!(y.fst < x.fst) && x.snd < y.snd);
}

template <class T> struct LessThan_default {
  bool operator()(const T &x, const T &y) const { return x < y; }
};

//=============================================================================
// Sorting: quicksort around a pseudo-randomly chosen pivot, selection sort
// below 16 elements. Every sort starts its own generator at 91648253.

// The generator: seed <- seed * 1389796 mod 2147483647, drawn value
// seed / 2147483647.
inline double drand(double &seed) {
  seed *= 1389796;
  int q = (int)(seed / 2147483647);
  seed -= (double)q * 2147483647;
  return seed / 2147483647;
}
inline int irand(double &seed, int size) { return (int)(drand(seed) * size); }

template <class T, class LessThan>
void selectionSort(T *array, int size, LessThan lt) {
  for (int i = 0; i < size - 1; i++) {
    int best_i = i;
    for (int j = i + 1; j < size; j++)
      if (lt(array[j], array[best_i]))
        best_i = j;
    T tmp = array[i];
    array[i] = array[best_i];
    array[best_i] = tmp;
  }
}

template <class T, class LessThan>
void sort(T *array, int size, LessThan lt, double &seed) {
  if (size <= 15) {
    selectionSort(array, size, lt);
    return;
  }
  T pivot = array[irand(seed, size)];
  int i = -1;
  int j = size;
  for (;;) {
    do
      i++;
    while (lt(array[i], pivot));
    do
      j--;
    while (lt(pivot, array[j]));
    if (i >= j)
      break;
    T tmp = array[i];
    array[i] = array[j];
    array[j] = tmp;
  }
  sort(array, i, lt, seed);
  sort(&array[i], size - i, lt, seed);
}
template <class T, class LessThan> void sort(T *array, int size, LessThan lt) {
  double seed = 91648253;
  sort(array, size, lt, seed);
}
template <class T> void sort(T *array, int size) {
  sort(array, size, LessThan_default<T>());
}
template <class T, class LessThan> void sort(vec<T> &v, LessThan lt) {
  sort(v.begin(), v.size(), lt);
}
template <class T> void sort(vec<T> &v) { sort(v, LessThan_default<T>()); }

// Sorts and keeps one copy of each value.
template <class T, class LessThan> void sortUnique(vec<T> &v, LessThan lt) {
  if (v.size() == 0)
    return;
  sort(v, lt);
  int i = 1;
  for (int j = 1; j < v.size(); j++)
    if (lt(v[i - 1], v[j]))
      v[i++] = v[j];
  v.shrink(v.size() - i);
}
template <class T> void sortUnique(vec<T> &v) {
  sortUnique(v, LessThan_default<T>());
}

//=============================================================================
// Heap: binary heap of non-negative ints with an index per element; the
// first slot holds a placeholder -1. `comp(a, b)` true puts a nearer the top.

template <class C> class Heap {
public:
  C comp;
  vec<int> heap;    // heap[0] is the placeholder
  vec<int> indices; // position in heap, 0 when absent

  explicit Heap(C c) : comp(c) { heap.push(-1); }

  void setBounds(int size) { indices.growTo(size, 0); }
  bool inHeap(int n) const { return n < indices.size() && indices[n] != 0; }
  bool empty() const { return heap.size() == 1; }
  int size() const { return heap.size() - 1; }
  void increase(int n) { percolateUp(indices[n]); }
  void insert(int n) {
    setBounds(n + 1);
    indices[n] = heap.size();
    heap.push(n);
    percolateUp(indices[n]);
  }
  int getmin() {
    int r = heap[1];
    heap[1] = heap.last();
    indices[heap[1]] = 1;
    indices[r] = 0;
    heap.pop();
    if (heap.size() > 1)
      percolateDown(1);
    return r;
  }

private:
  void percolateUp(int i) {
    int x = heap[i];
    while (i / 2 != 0 && comp(x, heap[i / 2])) {
      heap[i] = heap[i / 2];
      indices[heap[i]] = i;
      i = i / 2;
    }
    heap[i] = x;
    indices[x] = i;
  }
  void percolateDown(int i) {
    int x = heap[i];
    while (2 * i < heap.size()) {
      int child = 2 * i + 1 < heap.size() && comp(heap[2 * i + 1], heap[2 * i])
                      ? 2 * i + 1
                      : 2 * i;
      if (!comp(heap[child], x))
        break;
      heap[i] = heap[child];
      indices[heap[i]] = i;
      i = child;
    }
    heap[i] = x;
    indices[x] = i;
  }
};

//=============================================================================
// Map: chained hash map. The bucket count comes from `prime_twins`, starting
// at 31; before an insertion that would bring the entry count above half the
// bucket count the table is rebuilt with the first listed prime of at least
// twice the bucket count. Entries come from a pool of chunks of 100 with a
// free list; a new entry goes to the front of its chain.

extern const int prime_twins[25];

template <class K> struct Hash_default {
  uint32_t operator()(const K &key) const { return (uint32_t)key; }
};
template <class K> struct Equal_default {
  bool operator()(const K &a, const K &b) const { return a == b; }
};

template <class K, class D, class H = Hash_default<K>,
          class E = Equal_default<K>>
class Map {
  struct Cell {
    K key;
    D data;
    Cell *next;
  };
  H hash;
  E equal;
  vec<Cell *> table; // one chain per bucket
  int nentries = 0;
  vec<Cell *> chunks; // pool storage, 100 cells each
  Cell *free_cells = nullptr;

  Cell *newCell() {
    if (free_cells == nullptr) {
      Cell *chunk = new Cell[100];
      chunks.push(chunk);
      for (int i = 99; i >= 0; i--) {
        chunk[i].next = free_cells;
        free_cells = &chunk[i];
      }
    }
    Cell *c = free_cells;
    free_cells = c->next;
    return c;
  }
  static int nextSize(int current) {
    int want = current * 2;
    if (want < 32)
      return 31;
    for (int p : prime_twins)
      if (p >= want)
        return p;
    return prime_twins[24];
  }
  void rehash() {
    int n = nextSize(table.size());
    vec<Cell *> fresh(n, nullptr);
    for (int b = 0; b < table.size(); b++) {
      for (Cell *c = table[b], *next; c != nullptr; c = next) {
        next = c->next;
        uint32_t i = hash(c->key) % (uint32_t)n;
        c->next = fresh[i];
        fresh[i] = c;
      }
    }
    fresh.moveTo(table);
  }
  Cell *find(const K &key) const {
    if (table.size() == 0)
      return nullptr;
    for (Cell *c = table[hash(key) % (uint32_t)table.size()]; c != nullptr;
         c = c->next)
      if (equal(c->key, key))
        return c;
    return nullptr;
  }

public:
  Map() { table.growTo(31, nullptr); }
  explicit Map(H h, E e = E()) : hash(h), equal(e) {
    table.growTo(31, nullptr);
  }
  ~Map() {
    for (Cell *chunk : chunks)
      delete[] chunk;
  }
  Map(const Map &) = delete;
  Map &operator=(const Map &) = delete;

  int size() const { return nentries; }
  int buckets() const { return table.size(); }

  bool peek(const K &key, D &out) const {
    Cell *c = find(key);
    if (c == nullptr)
      return false;
    out = c->data;
    return true;
  }
  bool has(const K &key) const { return find(key) != nullptr; }
  // The entry of key, created with a default value when absent.
  D &ref(const K &key) {
    Cell *c = find(key);
    if (c != nullptr)
      return c->data;
    if (nentries + 1 > table.size() / 2)
      rehash();
    c = newCell();
    c->key = key;
    c->data = D();
    uint32_t i = hash(key) % (uint32_t)table.size();
    c->next = table[i];
    table[i] = c;
    nentries++;
    return c->data;
  }
  void set(const K &key, const D &data) { ref(key) = data; }
  // Removes key's entry; true when there was one.
  bool remove(const K &key) {
    if (table.size() == 0)
      return false;
    Cell **link = &table[hash(key) % (uint32_t)table.size()];
    for (Cell *c = *link; c != nullptr; link = &c->next, c = c->next) {
      if (equal(c->key, key)) {
        *link = c->next;
        c->next = free_cells;
        free_cells = c;
        nentries--;
        return true;
      }
    }
    return false;
  }
};

//=============================================================================
// Formatted strings and progress output.

// The translator's own verbosity; the translation sets it to 0.
extern int opt_verbosity;

// A newly allocated formatted string (release with xfree).
char *vnsprintf(const char *format, va_list args);
char *nsprintf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Progress printer: "c " before every line, a backspace toggles bold.
void reportf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Appends a new copy (release with xfree) of every maximal run of characters
// not in delims.
void splitString(const char *str, const char *delims, vec<char *> &out);

// TzRbKeyTree<K, D>: a map from a key K to a datum D, kept in a red-black
// tree of (key, datum) pairs ordered by key alone. The runoff element finds
// its edges by number through it, pelmic its nodes.
#ifndef TZRBKTREE_H
#define TZRBKTREE_H

#include "tzrbtree.h"

template <class K, class D>
class TzKeyedData {
 public:
  // Leaves both fields to the caller; a value-initialised pair (TzKeyedData())
  // holds zeros.
  TzKeyedData() = default;
  TzKeyedData(const K& k, const D& d) : mKey(k), mData(d) {}
  TzKeyedData(const TzKeyedData&) = default;
  TzKeyedData& operator=(const TzKeyedData& o) {
    if (this != &o) {
      mKey = o.mKey;
      mData = o.mData;
    }
    return *this;
  }

  K& Key() { return mKey; }
  D& Data() { return mData; }
  // Sets the key and returns the pair: turns a fresh pair into a search probe.
  TzKeyedData& operator[](K k) {
    mKey = k;
    return *this;
  }
  int operator==(const TzKeyedData& o) const { return mKey == o.mKey; }
  int operator<(const TzKeyedData& o) const { return mKey < o.mKey; }

 protected:
  K mKey;
  D mData;
};

template <class K, class D>
class TzRbKeyTree : public TzRedBlackTree<TzKeyedData<K, D>> {
 public:
  TzRbKeyTree() = default;
  ~TzRbKeyTree() = default;

  // Stores (k, d); an existing key gets its datum replaced.
  void Insert(const K& k, const D& d) { TzRedBlackTree<TzKeyedData<K, D>>::Insert(TzKeyedData<K, D>(k, d)); }
  // The stored pair with key k (take Data() from it), or null. The probe is
  // value-initialised, so its datum is never an undefined value.
  TzKeyedData<K, D>* GetPtrToData(K k) const {
    TzKeyedData<K, D> probe = TzKeyedData<K, D>();
    return TzRedBlackTree<TzKeyedData<K, D>>::GetPtrToData(probe[k]);
  }
};

#endif

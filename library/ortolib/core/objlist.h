// Lists of object pointers: _objlist, which frees the items it drops through a virtual dofree
// when it owns them, and the typed tobjlist over it.
#pragma once

#include <cstdint>

#include "ortolib/core/component.h"
#include "ortolib/core/podlist.h"

namespace pt {

// list_flags bits.
inline constexpr std::uint32_t own_objects = 1;        // the list frees the items it drops
inline constexpr std::uint32_t case_sensitive = 0x10;  // compare overrides compare keys byte-exact

// Pointer items, 8 bytes each, new slots null. The default dofree and compare are fatal
// (0xC0026): a list that owns objects or compares keys must override them. The destructor
// frees the storage only; owned items are freed by the most derived list's destructor, which
// calls set_count(0) while its own dofree is still in force (tobjlist does).
class _objlist : public unknown, public tpodlist<void*, true> {
 public:
  std::uint32_t list_flags = 0;

  explicit _objlist(bool own_objects_flag);
  ~_objlist() override;

  // Lowering the count of an owning list first frees the dropped items, in index order;
  // raising it adds null slots.
  void set_count(std::int32_t n);
  // Calls dofree on the n items from index on, in ascending order.
  void free_range(std::int32_t index, std::int32_t n);

  virtual void dofree(void* item);
  // Orders key against item: negative, 0 or positive.
  virtual std::int32_t compare(const void* key, const void* item);
};

// An owning (or not) list of T pointers whose dofree deletes a T.
template <class T>
class tobjlist : public _objlist {
 public:
  explicit tobjlist(bool own_objects_flag) : _objlist(own_objects_flag) {}
  ~tobjlist() override { set_count(0); }

  void dofree(void* item) override { delete static_cast<T*>(item); }

  T* item(std::int32_t i) const { return static_cast<T*>(_objlist::item(i)); }
  T* operator[](std::int32_t i) const { return item(i); }
  void insert(std::int32_t index, T* object) { _objlist::insert(index, object); }
  std::int32_t add(T* object) { return _objlist::add(object); }
};

}  // namespace pt

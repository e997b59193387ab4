// An ordered list of objects linked through the objects' own hooks, so that
// appending, removing and stepping to the next object cost O(1).
#pragma once

#include <cstddef>

#include "model/object.hpp"

namespace orvel::model {

class ObjectList {
 public:
  explicit ObjectList(ListKind kind = kAllList) : kind_(kind) {}

  void append(Object *object) {
    ListHook &hook = object->hooks[kind_];
    hook.prev = tail_;
    hook.next = nullptr;
    if (tail_) {
      tail_->hooks[kind_].next = object;
    } else {
      head_ = object;
    }
    tail_ = object;
    ++size_;
  }

  void remove(Object *object) {
    ListHook &hook = object->hooks[kind_];
    (hook.prev ? hook.prev->hooks[kind_].next : head_) = hook.next;
    (hook.next ? hook.next->hooks[kind_].prev : tail_) = hook.prev;
    hook = ListHook{};
    --size_;
  }

  Object *first() const { return head_; }
  Object *next(const Object *object) const { return object->hooks[kind_].next; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  ListKind kind_;
  Object *head_ = nullptr;
  Object *tail_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace orvel::model

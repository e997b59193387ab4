// Orvel host SDK: the object API. A small C++ view of the host session for
// what the function API does not offer: the drawing-compare snapshot.
//
// The host owns every object handed out here; callers keep pointers only for
// the duration of the call that got them and never delete them. No method
// throws.
#pragma once

#include "orvel/zk_types.h"

namespace OrvelOpen {

class Part;

// Records drawing-compare snapshots of one part.
class DrawingCompareManager {
 public:
  DrawingCompareManager(const DrawingCompareManager &) = delete;
  DrawingCompareManager &operator=(const DrawingCompareManager &) = delete;

  // Records a snapshot of the part's drawings and their views as they are
  // now, kept with the part (a save writes it into the part file). A part
  // keeps one snapshot: the latest replaces the one before. Does nothing for
  // a part that is no longer open.
  void CreateSnapshot();

 private:
  friend class Part;
  explicit DrawingCompareManager(tag_t part) : part_(part) {}
  tag_t part_;
};

// An open part.
class Part {
 public:
  Part(const Part &) = delete;
  Part &operator=(const Part &) = delete;

  // The part's tag in the function API.
  tag_t Tag() const { return tag_; }

  // The drawing-compare manager of this part.
  DrawingCompareManager *DrawingCompare() { return &compare_; }

 private:
  friend class PartCollection;
  explicit Part(tag_t tag) : tag_(tag), compare_(tag) {}
  tag_t tag_;
  DrawingCompareManager compare_;
};

// The parts open in the session.
class PartCollection {
 public:
  PartCollection(const PartCollection &) = delete;
  PartCollection &operator=(const PartCollection &) = delete;

  // The work part, nullptr when none is open.
  Part *Work();

 private:
  friend class Session;
  PartCollection() = default;
};

// The host session.
class Session {
 public:
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  // The one session of the process.
  static Session *GetSession();

  PartCollection *Parts() { return &parts_; }

 private:
  Session() = default;
  PartCollection parts_;
};

}  // namespace OrvelOpen

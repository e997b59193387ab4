// The object API: the session, its parts and the drawing-compare snapshot.
#include "api/api_util.hpp"
#include "model/drafting.hpp"
#include "orvel/OrvelOpen.hpp"

namespace OrvelOpen {

Session *Session::GetSession() {
  static Session session;
  return &session;
}

Part *PartCollection::Work() {
  orvel::model::Part *work = orvel::session().work_part();
  if (!work) return nullptr;
  auto &parts = orvel::session().object_api_parts;
  auto it = parts.find(work->tag);
  if (it == parts.end()) {
    std::shared_ptr<Part> part(new Part(work->tag));
    it = parts.emplace(work->tag, std::move(part)).first;
  }
  return static_cast<Part *>(it->second.get());
}

void DrawingCompareManager::CreateSnapshot() {
  orvel::model::Part *part = orvel::session().find_part(part_);
  if (!part) return;
  part->snapshot = orvel::model::take_snapshot(*part);
}

}  // namespace OrvelOpen

// Common object behaviour: attribute values, origins, component placements.
#include "model/object.hpp"

namespace orvel::model {

bool AttributeValue::operator==(const AttributeValue &other) const {
  if (type != other.type) return false;
  switch (type) {
    case ZK_ATTR_integer:
      return integer == other.integer;
    case ZK_ATTR_real:
      return real == other.real;
    case ZK_ATTR_time:
      return time == other.time;
    default:
      return text == other.text;
  }
}

const Object *Object::origin() const {
  return occurrence && prototype ? prototype : this;
}

geom::Transform Instance::placement() const {
  // The orientation rows are the component's axes in the assembly, so they
  // are the columns of the rotation.
  geom::Transform t = geom::identity();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) t.r[i][j] = orientation[j][i];
  }
  t.t = origin;
  return t;
}

std::string handle_of(const Object &object) {
  if (object.type == ZK_solid_type && object.occurrence) {
    const auto &body = static_cast<const Body &>(object);
    if (body.component && body.prototype) {
      return handle_of(*body.component) + ":" + body.prototype->handle;
    }
  } else if (object.type == ZK_component_type) {
    std::vector<const ComponentOcc *> path;
    for (auto *occ = static_cast<const ComponentOcc *>(&object); occ && occ->instance;
         occ = occ->parent) {
      path.push_back(occ);
    }
    if (path.empty()) return object.handle;
    std::string handle = path.back()->parent ? path.back()->parent->handle : std::string();
    for (auto it = path.rbegin(); it != path.rend(); ++it) handle += "/" + (*it)->instance->handle;
    return handle;
  }
  return object.handle;
}

}  // namespace orvel::model

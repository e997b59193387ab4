// C API: attributes (ATTR).
#include <cstring>

#include "api/api_util.hpp"
#include "orvel/zk_obj.h"

using namespace orvel;
using orvel::api::copy_out;

namespace {

bool valid_type(int type) {
  return type == ZK_ATTR_integer || type == ZK_ATTR_real || type == ZK_ATTR_time ||
         type == ZK_ATTR_string || type == ZK_ATTR_any;
}

// A title asked for, measured once for the whole scan of an object's
// attributes: a title of another length is passed over without reading it.
struct Title {
  const char *text;
  size_t length;
  explicit Title(const char *title) : text(title), length(std::strlen(title)) {}
  bool names(const model::Attribute &a) const {
    return a.title.size() == length && std::memcmp(a.title.data(), text, length) == 0;
  }
};

bool matches(const model::Attribute &a, int type) {
  return type == ZK_ATTR_any || a.value.type == type;
}

inline void fill(const model::AttributeValue &from, ZK_ATTR_value_t *to, char *text_out,
                 size_t capacity) {
  to->type = from.type;
  switch (from.type) {
    case ZK_ATTR_integer:
      to->value.integer = from.integer;
      break;
    case ZK_ATTR_real:
      to->value.real = from.real;
      break;
    case ZK_ATTR_time:
      to->value.time[0] = from.time[0];
      to->value.time[1] = from.time[1];
      break;
    default:
      copy_out(text_out, capacity, from.text);
      break;
  }
}

}  // namespace

extern "C" {

int ZK_ATTR_count_attributes(tag_t object, int type, int *count) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!count || !valid_type(type)) return kInvalidArgument;
    *count = 0;
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    for (const model::Attribute &a : o->attributes) *count += matches(a, type) ? 1 : 0;
    return kOk;
  });
}

int ZK_ATTR_cycle(tag_t object, int *index, int type, char title[ZK_ATTR_TITLE_BUFSIZE],
                  ZK_ATTR_value_t *value) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!index || !title || !value || !valid_type(type) || *index < 0) return kInvalidArgument;
    title[0] = '\0';
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    // The attribute after the *index matching ones; with every type selected
    // that is simply the next one.
    const model::Attribute *found = nullptr;
    int position = *index;
    if (type == ZK_ATTR_any) {
      if (static_cast<size_t>(position) < o->attributes.size()) found = &o->attributes[position];
    } else {
      int seen = 0;
      for (const model::Attribute &a : o->attributes) {
        if (matches(a, type) && seen++ == position) {
          found = &a;
          break;
        }
      }
    }
    if (!found) {
      *index = 0;
      return kOk;
    }
    copy_out(title, ZK_ATTR_TITLE_BUFSIZE, found->title);
    if (found->value.type == ZK_ATTR_string) {
      std::string &text = session().attr_cycle_text;
      text = found->value.text;
      value->type = ZK_ATTR_string;
      value->value.string = text.data();
    } else {
      fill(found->value, value, nullptr, 0);
    }
    *index = position + 1;
    return kOk;
  });
}

int ZK_ATTR_find_attribute(tag_t object, int type, const char *title, int *found_type) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!title || !found_type || !valid_type(type)) return kInvalidArgument;
    *found_type = 0;
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    const Title wanted(title);
    for (const model::Attribute &a : o->attributes) {
      if (wanted.names(a) && matches(a, type)) {
        *found_type = a.value.type;
        break;
      }
    }
    return kOk;
  });
}

int ZK_ATTR_read_value(tag_t object, const char *title, int type, ZK_ATTR_value_t *value) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!title || !value || !valid_type(type)) return kInvalidArgument;
    if (type == ZK_ATTR_string && !value->value.string) return kInvalidArgument;
    model::Object *o = session().find(object);
    if (!o) return kInvalidTag;
    ORVEL_INJECT(object);
    bool titled = false;
    const Title wanted(title);
    for (const model::Attribute &a : o->attributes) {
      if (!wanted.names(a)) continue;
      titled = true;
      if (!matches(a, type)) continue;
      fill(a.value, value, value->value.string, ZK_ATTR_STRING_BUFSIZE);
      return kOk;
    }
    if (titled) return kAttributeType;
    // An object without the attribute is an ordinary case, not a failure: the
    // value comes back with no type and the caller's buffer is left as it was.
    value->type = 0;
    return kOk;
  });
}

}  // extern "C"

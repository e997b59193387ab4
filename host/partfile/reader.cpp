// Reading part files: JSON text to a validated, unregistered part. Every
// problem becomes a LoadError naming the file, the JSON pointer of the
// offending value and what is wrong with it.
#include <simdjson.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "api/codes.hpp"
#include "model/drafting.hpp"
#include "partfile/latin1.hpp"
#include "partfile/part_file.hpp"
#include "partfile/snapshot_format.hpp"

namespace orvel::partfile {

using json = nlohmann::ordered_json;
using namespace orvel::model;

LoadError::LoadError(int code, std::string file, std::string path, std::string problem)
    : std::runtime_error(file + ": " + path + ": " + problem),
      code_(code),
      file_(std::move(file)),
      path_(std::move(path)),
      problem_(std::move(problem)) {}

namespace {

const char *kStatusNames[] = {"deleted", "temporary", "condemned", "alive"};

// The part file's word for an object type, for messages.
std::string kind_name(int type) {
  switch (type) {
    case ZK_point_type:
      return "a point";
    case ZK_view_type:
      return "a view";
    case ZK_drawing_type:
      return "a drawing";
    case ZK_drafting_entity_type:
      return "a drafting object";
    case ZK_dimension_type:
      return "a dimension";
    case ZK_feature_type:
      return "a feature";
    case ZK_material_type:
      return "a material";
    case ZK_expression_type:
      return "an expression";
    case ZK_occ_instance_type:
      return "a component";
    default:
      return "an object of type " + std::to_string(type);
  }
}

// The parser's text of a JSON exception without its "[json.exception...] "
// prefix.
std::string json_problem(const nlohmann::json::exception &e) {
  std::string what = e.what();
  size_t end = what.find("] ");
  return end == std::string::npos ? what : what.substr(end + 2);
}

// A reference from one object to another by id, resolved once every object
// of the file is known.
struct PendingRef {
  std::string id;
  std::string path;
  int type;  // required type, 0 for any
  std::function<void(Object *)> set;
};

// Thrown while reading the fast parser's document when the file must be
// read the careful way instead.
struct ReadAgain {};

// A value of the careful parser's document, which keeps each object's
// fields in file order, takes the last of repeated names and words every
// syntax error.
class CarefulValue {
 public:
  explicit CarefulValue(const json &v) : v_(&v) {}
  bool is_object() const { return v_->is_object(); }
  bool is_array() const { return v_->is_array(); }
  bool is_string() const { return v_->is_string(); }
  bool is_boolean() const { return v_->is_boolean(); }
  bool is_number() const { return v_->is_number(); }
  bool is_number_integer() const { return v_->is_number_integer(); }
  // An integer, with one beyond the range of long long taken as its largest.
  long long integer() const {
    if (!v_->is_number_unsigned()) return v_->get<long long>();
    return static_cast<long long>(std::min<unsigned long long>(
        v_->get<unsigned long long>(), static_cast<unsigned long long>(LLONG_MAX)));
  }
  double number() const { return v_->get<double>(); }
  bool boolean() const { return v_->get<bool>(); }
  std::string_view str() const { return v_->get_ref<const std::string &>(); }
  size_t size() const { return v_->size(); }
  CarefulValue operator[](size_t i) const { return CarefulValue((*v_)[i]); }
  std::optional<CarefulValue> find(const char *key) const {
    auto it = v_->find(key);
    if (it == v_->end()) return std::nullopt;
    return CarefulValue(*it);
  }
  template <typename F>
  void each_key(F &&f) const {
    for (auto it = v_->begin(); it != v_->end(); ++it) f(std::string_view(it.key()));
  }
  Snapshot snapshot(const std::string &file, const std::string &path) const {
    return snapshot_from_json(*v_, file, path);
  }

 private:
  const json *v_;
};

// A value of the fast parser's document. Its numbers, strings and literals
// read as the careful parser's do; a file whose objects repeat a field name
// or that holds a snapshot is read again the careful way.
class FastValue {
 public:
  explicit FastValue(simdjson::dom::element e) : e_(e) {}
  bool is_object() const { return type() == Type::OBJECT; }
  bool is_array() const { return type() == Type::ARRAY; }
  bool is_string() const { return type() == Type::STRING; }
  bool is_boolean() const { return type() == Type::BOOL; }
  bool is_number() const { return is_number_integer() || type() == Type::DOUBLE; }
  bool is_number_integer() const { return type() == Type::INT64 || type() == Type::UINT64; }
  long long integer() const {
    if (type() == Type::UINT64) {
      return static_cast<long long>(
          std::min<uint64_t>(e_.get_uint64().value_unsafe(), static_cast<uint64_t>(LLONG_MAX)));
    }
    return e_.get_int64().value_unsafe();
  }
  double number() const {
    switch (type()) {
      case Type::INT64:
        return static_cast<double>(e_.get_int64().value_unsafe());
      case Type::UINT64:
        return static_cast<double>(e_.get_uint64().value_unsafe());
      default:
        return e_.get_double().value_unsafe();
    }
  }
  bool boolean() const { return e_.get_bool().value_unsafe(); }
  std::string_view str() const { return e_.get_string().value_unsafe(); }
  size_t size() const { return e_.get_array().value_unsafe().size(); }
  // Elements are asked for in order, so the last position is kept.
  FastValue operator[](size_t i) const {
    if (!cursor_ || i < cursor_index_) {
      cursor_ = e_.get_array().value_unsafe().begin();
      cursor_index_ = 0;
    }
    for (; cursor_index_ < i; ++cursor_index_) ++*cursor_;
    return FastValue(**cursor_);
  }
  std::optional<FastValue> find(const char *key) const {
    if (!is_object()) return std::nullopt;
    simdjson::dom::element v;
    if (e_.get_object().value_unsafe().at_key(key).get(v) != simdjson::SUCCESS) {
      return std::nullopt;
    }
    return FastValue(v);
  }
  template <typename F>
  void each_key(F &&f) const {
    simdjson::dom::object object = e_.get_object().value_unsafe();
    for (auto it = object.begin(); it != object.end(); ++it) {
      for (auto before = object.begin(); before != it; ++before) {
        if (before.key() == it.key()) throw ReadAgain{};
      }
    }
    for (auto it = object.begin(); it != object.end(); ++it) f(it.key());
  }
  [[noreturn]] Snapshot snapshot(const std::string &, const std::string &) const {
    throw ReadAgain{};
  }

 private:
  using Type = simdjson::dom::element_type;
  Type type() const { return e_.type(); }
  simdjson::dom::element e_;
  mutable std::optional<simdjson::dom::array::iterator> cursor_;
  mutable size_t cursor_index_ = 0;
};

// The JSON pointer of a value, worked out only for a message: the
// pointer of its container or a text, followed by a field name or an
// element's index.
class Where {
 public:
  Where(const std::string &path) : base_(&path) {}  // NOLINT: a path is a place
  Where(const char *pointer) : field_(pointer) {}   // NOLINT: so is a constant one
  Where(const std::string &path, const char *field) : base_(&path), field_(field) {}
  Where(const Where &parent, size_t index) : parent_(&parent), index_(index) {}
  std::string str() const {
    std::string s = parent_ ? parent_->str() : base_ ? *base_ : std::string();
    if (field_) s += field_;
    if (parent_) s += "/" + std::to_string(index_);
    return s;
  }

 private:
  const std::string *base_ = nullptr;
  const Where *parent_ = nullptr;
  const char *field_ = nullptr;
  size_t index_ = 0;
};

template <typename Value>
class Reader {
 public:
  explicit Reader(std::string file) : file_(std::move(file)) {}

  std::unique_ptr<Part> read(const Value &doc) {
    if (!doc.is_object()) fail("", "the document is not an object");
    check_fields(doc, "",
                 {"format", "version", "units", "description", "history", "attributes", "objects",
                  "failures", "snapshot"});
    part_ = std::make_unique<Part>();
    if (std::optional<Value> v = field(doc, "format")) {
      if (text(*v, "/format", 64) != "orvel part") fail("/format", "expected \"orvel part\"");
    }
    if (std::optional<Value> v = field(doc, "version")) {
      part_->format_version = integer(*v, "/version", 1, 1);
    }
    if (std::optional<Value> v = field(doc, "units")) {
      part_->units =
          integer(*v, "/units", std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    }
    if (std::optional<Value> v = field(doc, "description")) {
      part_->description = text(*v, "/description", std::string::npos);
    }
    if (std::optional<Value> v = field(doc, "history")) read_history(*v, "/history");
    if (std::optional<Value> v = field(doc, "attributes")) {
      part_->attributes = attributes(*v, "/attributes");
    }
    if (std::optional<Value> v = field(doc, "objects")) read_objects(*v, "/objects");
    resolve_refs();
    if (std::optional<Value> v = field(doc, "failures")) read_failures(*v, "/failures");
    if (std::optional<Value> v = field(doc, "snapshot")) {
      part_->snapshot = v->snapshot(file_, "/snapshot");
    }
    check_arrangements();
    return std::move(part_);
  }

 private:
  [[noreturn]] void fail(const std::string &path, const std::string &problem) const {
    throw LoadError(kPartFileInvalid, file_, path.empty() ? "/" : path, problem);
  }

  static std::optional<Value> field(const Value &object, const char *key) {
    return object.find(key);
  }

  Value required(const Value &object, const char *key, const std::string &path) const {
    std::optional<Value> v = field(object, key);
    if (!v) fail(path, std::string("missing required field \"") + key + "\"");
    return *v;
  }

  void check_fields(const Value &object, const std::string &path,
                    std::initializer_list<const char *> allowed) const {
    check_keys(object, path, allowed.begin(), allowed.end());
  }

  // A field that is none of `allowed` fails as unknown, the first one in
  // the file's order.
  template <typename It>
  void check_keys(const Value &object, const std::string &path, It first, It last) const {
    object.each_key([&](std::string_view key) {
      bool known = false;
      for (It name = first; !known && name != last; ++name) known = key == *name;
      if (!known) fail(path + "/" + std::string(key), "unknown field");
    });
  }

  void need_object(const Value &v, const std::string &path) const {
    if (!v.is_object()) fail(path, "expected an object");
  }

  void need_array(const Value &v, const std::string &path) const {
    if (!v.is_array()) fail(path, "expected an array");
  }

  // A text of the host: ISO-8859-1, at most `max` characters.
  std::string text(const Value &v, const Where &where, size_t max) const {
    if (!v.is_string()) fail(where.str(), "expected a string");
    std::optional<std::string> latin1 = utf8_to_latin1(v.str());
    if (!latin1) fail(where.str(), "text holds a character beyond ISO-8859-1");
    const std::string &s = *latin1;
    if (max != std::string::npos && s.size() > max) {
      fail(where.str(), "text of " + std::to_string(s.size()) + " characters is longer than " +
                            std::to_string(max));
    }
    return s;
  }

  int integer(const Value &v, const Where &where, long long min, long long max) const {
    if (!v.is_number_integer()) fail(where.str(), "expected an integer");
    long long value = v.integer();
    if (value < min || value > max) {
      fail(where.str(), "value " + std::to_string(value) + " is outside " + std::to_string(min) +
                            " to " + std::to_string(max));
    }
    return static_cast<int>(value);
  }

  double number(const Value &v, const Where &where) const {
    if (!v.is_number()) fail(where.str(), "expected a number");
    double value = v.number();
    if (!std::isfinite(value)) fail(where.str(), "expected a finite number");
    return value;
  }

  // A host code that some call fails with: not 0 and with a message.
  int host_code(const Value &v, const Where &where) const {
    int code = integer(v, where, INT32_MIN, INT32_MAX);
    if (code == 0) fail(where.str(), "code 0 is not a failure");
    if (!code_message(code)) fail(where.str(), "unknown host code " + std::to_string(code));
    return code;
  }

  bool boolean(const Value &v, const Where &where) const {
    if (!v.is_boolean()) fail(where.str(), "expected true or false");
    return v.boolean();
  }

  geom::Vec3 vec3(const Value &v, const Where &where) const {
    if (!v.is_array() || v.size() != 3) fail(where.str(), "expected an array of three numbers");
    return {number(v[0], Where(where, 0)), number(v[1], Where(where, 1)),
            number(v[2], Where(where, 2))};
  }

  std::string id_text(const Value &v, const Where &where) const {
    std::string id = text(v, where, 255);
    if (id.empty()) fail(where.str(), "empty id");
    return id;
  }

  void refer(const Value &v, const std::string &path, int type, std::function<void(Object *)> set) {
    refs_.push_back({id_text(v, path), path, type, std::move(set)});
  }

  void read_history(const Value &v, const std::string &path) {
    need_array(v, path);
    for (size_t i = 0; i < v.size(); ++i) {
      std::string p = path + "/" + std::to_string(i);
      const Value &e = v[i];
      need_object(e, p);
      check_fields(e, p, {"version", "time", "program", "user", "machine"});
      HistoryEntry entry;
      entry.version =
          integer(required(e, "version", p), Where(p, "/version"), INT32_MIN, INT32_MAX);
      entry.time = integer(required(e, "time", p), Where(p, "/time"), INT32_MIN, INT32_MAX);
      if (std::optional<Value> t = field(e, "program"))
        entry.program = text(*t, Where(p, "/program"), 255);
      if (std::optional<Value> t = field(e, "user")) entry.user = text(*t, Where(p, "/user"), 255);
      if (std::optional<Value> t = field(e, "machine"))
        entry.machine = text(*t, Where(p, "/machine"), 255);
      part_->history.push_back(std::move(entry));
    }
  }

  std::vector<Attribute> attributes(const Value &v, const std::string &path) const {
    need_array(v, path);
    std::vector<Attribute> result;
    std::unordered_set<std::string> titles;
    for (size_t i = 0; i < v.size(); ++i) {
      std::string p = path + "/" + std::to_string(i);
      const Value &e = v[i];
      need_object(e, p);
      check_fields(e, p, {"title", "type", "value"});
      Attribute a;
      a.title = text(required(e, "title", p), Where(p, "/title"), kMaxAttributeTitle);
      if (a.title.empty()) fail(p + "/title", "empty attribute title");
      if (!titles.insert(a.title).second) fail(p + "/title", "duplicate attribute title");
      std::string type = text(required(e, "type", p), Where(p, "/type"), 16);
      const Value &value = required(e, "value", p);
      std::string vp = p + "/value";
      if (type == "integer") {
        a.value.type = ZK_ATTR_integer;
        a.value.integer = integer(value, vp, INT32_MIN, INT32_MAX);
      } else if (type == "real") {
        a.value.type = ZK_ATTR_real;
        a.value.real = number(value, vp);
      } else if (type == "time") {
        a.value.type = ZK_ATTR_time;
        if (!value.is_array() || value.size() != 2) fail(vp, "expected [day, minutes]");
        a.value.time = {integer(value[0], vp + "/0", INT32_MIN, INT32_MAX),
                        integer(value[1], vp + "/1", INT32_MIN, INT32_MAX)};
      } else if (type == "string") {
        a.value.type = ZK_ATTR_string;
        a.value.text = text(value, vp, kMaxAttributeString);
      } else {
        fail(p + "/type", "unknown attribute type \"" + type + "\"");
      }
      result.push_back(std::move(a));
    }
    return result;
  }

  void read_objects(const Value &v, const std::string &path) {
    need_array(v, path);
    for (size_t i = 0; i < v.size(); ++i) read_object(v[i], path + "/" + std::to_string(i));
  }

  void read_object(const Value &e, const std::string &p) {
    need_object(e, p);
    std::string kind = text(required(e, "kind", p), Where(p, "/kind"), 64);
    std::unique_ptr<Object> object;
    if (kind == "expression") {
      object = expression(e, p);
    } else if (kind == "material") {
      check_fields(e, p, common_fields({}));
      object = std::make_unique<Material>();
    } else if (kind == "feature") {
      object = feature(e, p);
    } else if (kind == "body") {
      object = body(e, p);
    } else if (kind == "reference_set") {
      object = reference_set(e, p);
    } else if (kind == "arrangement") {
      check_fields(e, p, common_fields({"active"}));
      auto a = std::make_unique<Arrangement>();
      if (std::optional<Value> v = field(e, "active")) a->active = boolean(*v, Where(p, "/active"));
      object = std::move(a);
    } else if (kind == "component") {
      object = component(e, p);
    } else if (kind == "point") {
      check_fields(e, p, common_fields({"coordinates"}));
      auto point = std::make_unique<Point>();
      point->at = vec3(required(e, "coordinates", p), Where(p, "/coordinates"));
      object = std::move(point);
    } else if (kind == "line") {
      check_fields(e, p, common_fields({"start", "end"}));
      auto line = std::make_unique<Line>();
      line->start = vec3(required(e, "start", p), Where(p, "/start"));
      line->end = vec3(required(e, "end", p), Where(p, "/end"));
      object = std::move(line);
    } else if (kind == "arc") {
      object = arc(e, p);
    } else if (kind == "drawing") {
      object = drawing(e, p);
    } else if (kind == "view") {
      object = view(e, p);
    } else if (kind == "drafting" || kind == "dimension") {
      object = annotation(e, p, kind == "drafting" ? ZK_drafting_entity_type : ZK_dimension_type);
    } else {
      fail(p + "/kind", "unknown kind \"" + kind + "\"");
    }
    common(e, p, *object, kind);
    if (object->type == ZK_arrangement_type) paths_.emplace(object.get(), p);
    part_->add(std::move(object));
  }

  static std::vector<const char *> common_fields(std::initializer_list<const char *> own) {
    std::vector<const char *> all = {"id",          "kind",         "name", "handle",     "status",
                                     "layer",       "color",        "font", "line_width", "blank",
                                     "displayable", "transferable", "view", "attributes"};
    all.insert(all.end(), own.begin(), own.end());
    return all;
  }

  void check_fields(const Value &object, const std::string &path,
                    const std::vector<const char *> &allowed) const {
    check_keys(object, path, allowed.begin(), allowed.end());
  }

  void common(const Value &e, const std::string &p, Object &o, const std::string &kind) {
    o.id = id_text(required(e, "id", p), Where(p, "/id"));
    if (part_->find_by_id(o.id)) fail(p + "/id", "duplicate id \"" + o.id + "\"");
    if (std::optional<Value> v = field(e, "name")) {
      size_t max = kind == "reference_set" ? kMaxRefsetName : kMaxObjectName;
      o.name = text(*v, Where(p, "/name"), max);
    }
    if (std::optional<Value> v = field(e, "handle")) {
      o.handle = text(*v, Where(p, "/handle"), 255);
      if (o.handle.empty()) fail(p + "/handle", "empty handle");
      o.handle_given = true;
    } else {
      o.handle = o.id;
    }
    if (std::optional<Value> v = field(e, "status")) {
      std::string s = text(*v, Where(p, "/status"), 16);
      int status = -1;
      for (int i = 0; i < 4; ++i) {
        if (s == kStatusNames[i]) status = i;
      }
      if (status < 0) fail(p + "/status", "unknown status \"" + s + "\"");
      o.status = status;
    }
    static const char *const kOnLayers[] = {"body", "component", "point",    "line",
                                            "arc",  "drafting",  "dimension"};
    for (const char *layered : kOnLayers) {
      if (kind == layered) o.layer = 1;
    }
    if (std::optional<Value> v = field(e, "layer"))
      o.layer = integer(*v, Where(p, "/layer"), 0, ZK_LAYER_MAX);
    if (std::optional<Value> v = field(e, "color"))
      o.color = integer(*v, Where(p, "/color"), 0, INT32_MAX);
    if (std::optional<Value> v = field(e, "font"))
      o.font = integer(*v, Where(p, "/font"), 0, INT32_MAX);
    if (std::optional<Value> v = field(e, "line_width")) {
      o.line_width = integer(*v, Where(p, "/line_width"), 0, INT32_MAX);
    }
    if (std::optional<Value> v = field(e, "blank"))
      o.blank_status = boolean(*v, Where(p, "/blank")) ? 1 : 0;
    if (std::optional<Value> v = field(e, "attributes"))
      o.attributes = attributes(*v, p + "/attributes");
    if (std::optional<Value> v = field(e, "displayable"))
      o.displayable = boolean(*v, Where(p, "/displayable"));
    if (std::optional<Value> v = field(e, "transferable")) {
      o.transferable = boolean(*v, Where(p, "/transferable"));
    }
    if (std::optional<Value> v = field(e, "view")) {
      Object *raw = &o;
      refer(*v, p + "/view", ZK_view_type,
            [this, raw](Object *view) { part_->set_view(raw, view); });
    }
  }

  std::unique_ptr<Object> arc(const Value &e, const std::string &p) {
    check_fields(e, p, common_fields({"centre", "radius", "start_angle", "end_angle"}));
    auto a = std::make_unique<Arc>();
    a->centre = vec3(required(e, "centre", p), Where(p, "/centre"));
    a->radius = number(required(e, "radius", p), Where(p, "/radius"));
    if (a->radius <= 0) fail(p + "/radius", "radius must be positive");
    if (std::optional<Value> v = field(e, "start_angle"))
      a->start_angle = number(*v, Where(p, "/start_angle"));
    if (std::optional<Value> v = field(e, "end_angle"))
      a->end_angle = number(*v, Where(p, "/end_angle"));
    return a;
  }

  std::unique_ptr<Object> drawing(const Value &e, const std::string &p) {
    check_fields(e, p, common_fields({"sheet_view", "views", "out_of_date", "updatable"}));
    auto d = std::make_unique<Drawing>();
    Drawing *raw = d.get();
    if (std::optional<Value> v = field(e, "sheet_view")) {
      refer(*v, p + "/sheet_view", ZK_view_type,
            [raw](Object *o) { raw->sheet_view = static_cast<View *>(o); });
    }
    if (std::optional<Value> v = field(e, "views")) {
      need_array(*v, p + "/views");
      for (size_t i = 0; i < v->size(); ++i) {
        refer((*v)[i], p + "/views/" + std::to_string(i), ZK_view_type,
              [raw](Object *o) { raw->views.push_back(static_cast<View *>(o)); });
      }
    }
    if (std::optional<Value> v = field(e, "out_of_date"))
      d->out_of_date = boolean(*v, Where(p, "/out_of_date"));
    if (std::optional<Value> v = field(e, "updatable"))
      d->updatable = boolean(*v, Where(p, "/updatable"));
    return d;
  }

  std::unique_ptr<Object> view(const Value &e, const std::string &p) {
    check_fields(e, p,
                 common_fields({"view_type", "view_subtype", "reference_point", "anchor", "scale",
                                "angle", "borders", "out_of_date", "notes", "update_failure"}));
    auto w = std::make_unique<View>();
    View *raw = w.get();
    if (std::optional<Value> v = field(e, "view_type")) {
      w->view_type = integer(*v, Where(p, "/view_type"), INT32_MIN, INT32_MAX);
    }
    if (std::optional<Value> v = field(e, "view_subtype")) {
      w->view_subtype = integer(*v, Where(p, "/view_subtype"), INT32_MIN, INT32_MAX);
    }
    if (std::optional<Value> v = field(e, "reference_point")) {
      numbers(*v, p + "/reference_point", w->reference_point, 2);
    }
    if (std::optional<Value> v = field(e, "anchor")) {
      refer(*v, p + "/anchor", ZK_point_type,
            [raw](Object *o) { raw->anchor = static_cast<Point *>(o); });
    }
    if (std::optional<Value> v = field(e, "scale")) {
      w->scale = number(*v, Where(p, "/scale"));
      if (w->scale <= 0) fail(p + "/scale", "scale must be positive");
    }
    if (std::optional<Value> v = field(e, "angle")) w->angle = number(*v, Where(p, "/angle"));
    if (std::optional<Value> v = field(e, "borders")) numbers(*v, p + "/borders", w->borders, 4);
    if (std::optional<Value> v = field(e, "out_of_date"))
      w->out_of_date = boolean(*v, Where(p, "/out_of_date"));
    if (std::optional<Value> v = field(e, "update_failure")) {
      w->update_failure = host_code(*v, Where(p, "/update_failure"));
    }
    if (std::optional<Value> v = field(e, "notes")) {
      need_array(*v, p + "/notes");
      for (size_t i = 0; i < v->size(); ++i) {
        refer((*v)[i], p + "/notes/" + std::to_string(i), 0,
              [raw](Object *o) { raw->notes.push_back(o); });
      }
    }
    return w;
  }

  void numbers(const Value &v, const std::string &p, double *out, size_t n) const {
    if (!v.is_array() || v.size() != n) {
      fail(p, "expected an array of " + std::to_string(n) + " numbers");
    }
    for (size_t i = 0; i < n; ++i) out[i] = number(v[i], p + "/" + std::to_string(i));
  }

  std::unique_ptr<Object> annotation(const Value &e, const std::string &p, int type) {
    check_fields(
        e, p,
        common_fields({"subtype", "origin", "associated", "texts", "retained", "sketch_value"}));
    int subtype = 0;
    if (std::optional<Value> v = field(e, "subtype"))
      subtype = integer(*v, Where(p, "/subtype"), 0, INT32_MAX);
    auto a = std::make_unique<Annotation>(type, subtype);
    Annotation *raw = a.get();
    if (std::optional<Value> v = field(e, "origin")) a->origin = vec3(*v, Where(p, "/origin"));
    if (std::optional<Value> v = field(e, "associated")) {
      need_array(*v, p + "/associated");
      for (size_t i = 0; i < v->size(); ++i) {
        refer((*v)[i], p + "/associated/" + std::to_string(i), 0,
              [raw](Object *o) { raw->associated.push_back(o); });
      }
    }
    if (std::optional<Value> v = field(e, "texts")) {
      need_array(*v, p + "/texts");
      for (size_t i = 0; i < v->size(); ++i) {
        a->texts.push_back(text_block((*v)[i], p + "/texts/" + std::to_string(i)));
      }
    }
    if (std::optional<Value> v = field(e, "retained"))
      a->retained = boolean(*v, Where(p, "/retained"));
    if (std::optional<Value> v = field(e, "sketch_value"))
      a->sketch_value = number(*v, Where(p, "/sketch_value"));
    return a;
  }

  TextBlock text_block(const Value &v, const std::string &p) const {
    need_object(v, p);
    check_fields(v, p, {"type", "font", "size", "angle", "lines"});
    TextBlock t;
    if (std::optional<Value> x = field(v, "type"))
      t.type = integer(*x, Where(p, "/type"), INT32_MIN, INT32_MAX);
    if (std::optional<Value> x = field(v, "font"))
      t.font = integer(*x, Where(p, "/font"), 0, INT32_MAX);
    if (std::optional<Value> x = field(v, "size")) t.size = number(*x, Where(p, "/size"));
    if (std::optional<Value> x = field(v, "angle")) t.angle = number(*x, Where(p, "/angle"));
    const Value &lines = required(v, "lines", p);
    need_array(lines, p + "/lines");
    for (size_t i = 0; i < lines.size(); ++i) {
      t.lines.push_back(text(lines[i], p + "/lines/" + std::to_string(i), kMaxTextLine));
    }
    return t;
  }

  std::unique_ptr<Object> expression(const Value &e, const std::string &p) {
    check_fields(e, p, common_fields({"formula", "value"}));
    auto x = std::make_unique<Expression>();
    if (!field(e, "name")) fail(p, "missing required field \"name\"");
    x->formula = text(required(e, "formula", p), Where(p, "/formula"), std::string::npos);
    x->value = number(required(e, "value", p), Where(p, "/value"));
    return x;
  }

  std::unique_ptr<Object> feature(const Value &e, const std::string &p) {
    check_fields(e, p, common_fields({"feature_type", "suppressed", "update_failure"}));
    auto f = std::make_unique<Feature>();
    if (std::optional<Value> v = field(e, "feature_type")) {
      f->feature_type = text(*v, Where(p, "/feature_type"), kMaxObjectName);
    }
    if (std::optional<Value> v = field(e, "suppressed"))
      f->suppressed = boolean(*v, Where(p, "/suppressed"));
    if (std::optional<Value> v = field(e, "update_failure")) {
      f->update_failure = host_code(*v, Where(p, "/update_failure"));
    }
    return f;
  }

  std::unique_ptr<Object> body(const Value &e, const std::string &p) {
    check_fields(e, p, common_fields({"body_type", "density", "material", "features", "shape"}));
    auto b = std::make_unique<Body>();
    Body *raw = b.get();
    if (std::optional<Value> v = field(e, "body_type")) {
      std::string t = text(*v, Where(p, "/body_type"), 16);
      if (t == "solid") {
        b->body_type = ZK_MODL_SOLID_BODY;
      } else if (t == "sheet") {
        b->body_type = ZK_MODL_SHEET_BODY;
      } else {
        fail(p + "/body_type", "expected \"solid\" or \"sheet\"");
      }
    }
    if (std::optional<Value> v = field(e, "density")) {
      b->density = number(*v, Where(p, "/density"));
      if (b->density < 0) fail(p + "/density", "negative density");
    }
    if (std::optional<Value> v = field(e, "material")) {
      refer(*v, p + "/material", ZK_material_type,
            [raw](Object *o) { raw->material = static_cast<Material *>(o); });
    }
    if (std::optional<Value> v = field(e, "features")) {
      need_array(*v, p + "/features");
      for (size_t i = 0; i < v->size(); ++i) {
        refer((*v)[i], p + "/features/" + std::to_string(i), ZK_feature_type,
              [raw](Object *o) { raw->features.push_back(static_cast<Feature *>(o)); });
      }
    }
    b->shape = shape(required(e, "shape", p), p + "/shape");
    if (auto problem = geom::validate(b->shape, b->body_type == ZK_MODL_SOLID_BODY)) {
      fail(p + "/shape", *problem);
    }
    check_mass_finite(*b, p);
    return b;
  }

  // A body whose own mass properties overflow (a size, a position or a
  // density near the largest double) can never give finite mass values.
  void check_mass_finite(const Body &b, const std::string &p) const {
    if (b.body_type != ZK_MODL_SOLID_BODY && geom::validate(b.shape, true)) return;
    const geom::Transform at_origin = geom::identity();
    auto values = geom::mass_properties({{&b.shape, &at_origin, b.density}});
    for (double value : values) {
      if (!std::isfinite(value)) {
        fail(p,
             "the body's mass properties are beyond the range of a double (its size, "
             "position or density is too large)");
      }
    }
  }

  geom::Shape shape(const Value &v, const std::string &p) const {
    need_object(v, p);
    std::string type = text(required(v, "type", p), Where(p, "/type"), 16);
    if (type == "block") {
      check_fields(v, p, {"type", "corner", "size"});
      return geom::Block{vec3(required(v, "corner", p), Where(p, "/corner")),
                         vec3(required(v, "size", p), Where(p, "/size"))};
    }
    if (type == "cylinder") {
      check_fields(v, p, {"type", "base", "axis", "radius", "height"});
      return geom::Cylinder{vec3(required(v, "base", p), Where(p, "/base")),
                            vec3(required(v, "axis", p), Where(p, "/axis")),
                            number(required(v, "radius", p), Where(p, "/radius")),
                            number(required(v, "height", p), Where(p, "/height"))};
    }
    if (type == "sphere") {
      check_fields(v, p, {"type", "centre", "radius"});
      return geom::Sphere{vec3(required(v, "centre", p), Where(p, "/centre")),
                          number(required(v, "radius", p), Where(p, "/radius"))};
    }
    if (type == "mesh") {
      check_fields(v, p, {"type", "vertices", "triangles"});
      geom::Mesh mesh;
      const Value &vertices = required(v, "vertices", p);
      need_array(vertices, p + "/vertices");
      for (size_t i = 0; i < vertices.size(); ++i) {
        mesh.vertices.push_back(vec3(vertices[i], Where(Where(p, "/vertices"), i)));
      }
      const Value &triangles = required(v, "triangles", p);
      need_array(triangles, p + "/triangles");
      for (size_t i = 0; i < triangles.size(); ++i) {
        Where triangles_at(p, "/triangles");
        Where tp(triangles_at, i);
        const Value &t = triangles[i];
        if (!t.is_array() || t.size() != 3) fail(tp.str(), "expected three vertex indices");
        mesh.triangles.push_back({integer(t[0], Where(tp, 0), 0, INT32_MAX),
                                  integer(t[1], Where(tp, 1), 0, INT32_MAX),
                                  integer(t[2], Where(tp, 2), 0, INT32_MAX)});
      }
      return mesh;
    }
    fail(p + "/type", "unknown shape type \"" + type + "\"");
  }

  std::unique_ptr<Object> reference_set(const Value &e, const std::string &p) {
    check_fields(e, p, common_fields({"members"}));
    auto r = std::make_unique<ReferenceSet>();
    ReferenceSet *raw = r.get();
    if (!field(e, "name")) fail(p, "missing required field \"name\"");
    if (std::optional<Value> v = field(e, "members")) {
      need_array(*v, p + "/members");
      for (size_t i = 0; i < v->size(); ++i) {
        refer((*v)[i], p + "/members/" + std::to_string(i), 0,
              [raw](Object *o) { raw->members.push_back(o); });
      }
    }
    return r;
  }

  std::unique_ptr<Object> component(const Value &e, const std::string &p) {
    check_fields(e, p,
                 common_fields({"part", "instance_name", "reference_set", "origin", "orientation",
                                "suppressed", "suppression_expression", "mating"}));
    auto c = std::make_unique<Instance>();
    Instance *raw = c.get();
    // A file name: bytes as written, for the file system.
    const Value &file = required(e, "part", p);
    if (!file.is_string()) fail(p + "/part", "expected a string");
    c->file = std::string(file.str());
    if (c->file.empty()) fail(p + "/part", "empty part file name");
    if (std::optional<Value> v = field(e, "instance_name")) {
      c->instance_name = text(*v, Where(p, "/instance_name"), kMaxInstanceName);
    }
    if (std::optional<Value> v = field(e, "reference_set")) {
      c->refset_name = text(*v, Where(p, "/reference_set"), kMaxRefsetName);
    }
    if (std::optional<Value> v = field(e, "origin")) {
      c->origin = vec3(*v, Where(p, "/origin"));
      // The moments about the origin grow with the square of the distance.
      const double limit = std::sqrt(std::numeric_limits<double>::max());
      for (double x : {c->origin.x, c->origin.y, c->origin.z}) {
        if (std::fabs(x) > limit) {
          fail(p + "/origin", "origin too far out: its square is beyond the range of a double");
        }
      }
    }
    if (std::optional<Value> v = field(e, "orientation")) orientation(*v, p + "/orientation", *c);
    if (std::optional<Value> v = field(e, "suppressed"))
      c->suppressed = boolean(*v, Where(p, "/suppressed"));
    if (std::optional<Value> v = field(e, "suppression_expression")) {
      refer(*v, p + "/suppression_expression", ZK_expression_type,
            [raw](Object *o) { raw->suppression = static_cast<Expression *>(o); });
    }
    if (std::optional<Value> v = field(e, "mating")) {
      std::string mp = p + "/mating";
      need_object(*v, mp);
      check_fields(*v, mp, {"name", "mated", "constraints", "suppressed"});
      Mating m;
      m.name = text(required(*v, "name", mp), Where(mp, "/name"), kMaxObjectName);
      if (std::optional<Value> x = field(*v, "constraints")) {
        m.constraints = integer(*x, Where(mp, "/constraints"), 0, INT32_MAX);
      }
      if (std::optional<Value> x = field(*v, "suppressed"))
        m.suppressed = boolean(*x, Where(mp, "/suppressed"));
      c->mating = m;
      if (std::optional<Value> x = field(*v, "mated")) {
        refer(*x, mp + "/mated", ZK_occ_instance_type,
              [raw](Object *o) { raw->mating->mated = static_cast<Instance *>(o); });
      }
    }
    return c;
  }

  void orientation(const Value &v, const std::string &p, Instance &c) const {
    if (!v.is_array() || v.size() != 3) fail(p, "expected three rows of three numbers");
    for (int i = 0; i < 3; ++i) {
      geom::Vec3 row = vec3(v[i], Where(Where(p), i));
      c.orientation[i][0] = row.x;
      c.orientation[i][1] = row.y;
      c.orientation[i][2] = row.z;
    }
    if (auto problem = geom::validate_placement(c.placement())) fail(p, *problem);
  }

  void resolve_refs() {
    for (const PendingRef &ref : refs_) {
      Object *target = part_->find_by_id(ref.id);
      if (!target) fail(ref.path, "unknown reference \"" + ref.id + "\"");
      if (ref.type != 0 && target->type != ref.type) {
        fail(ref.path, "\"" + ref.id + "\" is not of the expected kind (" +
                           kind_name(target->type) + ", expected " + kind_name(ref.type) + ")");
      }
      ref.set(target);
    }
  }

  void read_failures(const Value &v, const std::string &path) {
    need_array(v, path);
    for (size_t i = 0; i < v.size(); ++i) {
      std::string p = path + "/" + std::to_string(i);
      const Value &e = v[i];
      need_object(e, p);
      check_fields(e, p, {"call", "code", "skip", "times", "object"});
      FailureSpec f;
      f.call = text(required(e, "call", p), Where(p, "/call"), 64);
      if (f.call.empty()) fail(p + "/call", "empty call name");
      f.code = integer(required(e, "code", p), Where(p, "/code"), INT32_MIN, INT32_MAX);
      if (f.code == 0) fail(p + "/code", "code 0 is not a failure");
      if (std::optional<Value> x = field(e, "skip"))
        f.skip = integer(*x, Where(p, "/skip"), 0, INT32_MAX);
      if (std::optional<Value> x = field(e, "times"))
        f.times = integer(*x, Where(p, "/times"), 1, INT32_MAX);
      if (std::optional<Value> x = field(e, "object")) {
        f.object_id = id_text(*x, Where(p, "/object"));
        f.object = part_->find_by_id(f.object_id);
        if (!f.object) fail(p + "/object", "unknown reference \"" + f.object_id + "\"");
      }
      part_->failures.push_back(std::move(f));
    }
  }

  void check_arrangements() {
    const ObjectList *list = part_->of_type(ZK_arrangement_type);
    int active = 0;
    for (Object *o = list ? list->first() : nullptr; o; o = list->next(o)) {
      if (static_cast<Arrangement *>(o)->active && ++active > 1) {
        fail(paths_[o] + "/active", "more than one active arrangement");
      }
    }
  }

  std::string file_;
  std::unique_ptr<Part> part_;
  std::vector<PendingRef> refs_;
  std::unordered_map<const Object *, std::string> paths_;
};

}  // namespace

std::unique_ptr<Part> parse_part_fast(const std::string &text, const std::string &file) {
  // Kept between files: its buffers grow to the largest file read.
  thread_local simdjson::dom::parser parser;
  simdjson::dom::element doc;
  if (parser.parse(text).get(doc) != simdjson::SUCCESS) return nullptr;
  try {
    return Reader<FastValue>(file).read(FastValue(doc));
  } catch (const LoadError &) {
  } catch (const ReadAgain &) {
  }
  return nullptr;
}

std::unique_ptr<Part> parse_part_carefully(const std::string &text, const std::string &file) {
  json doc;
  try {
    doc = json::parse(text);
  } catch (const json::parse_error &e) {
    throw LoadError(kPartFileSyntax, file, "/", "syntax error at byte " + std::to_string(e.byte));
  } catch (const json::exception &e) {
    // Valid JSON the parser cannot hold, such as a number beyond the range
    // of a double ("1e400").
    throw LoadError(kPartFileInvalid, file, "/", json_problem(e));
  }
  return Reader<CarefulValue>(file).read(CarefulValue(doc));
}

std::unique_ptr<Part> parse_part(const std::string &text, const std::string &file) {
  if (std::unique_ptr<Part> part = parse_part_fast(text, file)) return part;
  return parse_part_carefully(text, file);
}

std::unique_ptr<Part> read_part(const std::string &file) {
  errno = 0;
  std::unique_ptr<FILE, int (*)(FILE *)> in(std::fopen(file.c_str(), "rb"), std::fclose);
  if (!in) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw LoadError(kPartFileMissing, file, "/", "no such part file");
    }
    throw LoadError(kPartFileUnreadable, file, "/",
                    std::string("cannot read the file: ") + std::strerror(errno));
  }
  std::string text;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) text.append(buffer, n);
  if (std::ferror(in.get())) {
    throw LoadError(kPartFileUnreadable, file, "/",
                    std::string("cannot read the file: ") + std::strerror(errno));
  }
  std::unique_ptr<Part> part = parse_part(text, file);
  part->loaded_digest = text_digest(text);
  return part;
}

}  // namespace orvel::partfile

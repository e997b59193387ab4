// Reading and writing the drawing-compare snapshot of a part file.
#include "partfile/snapshot_format.hpp"

#include <cmath>
#include <initializer_list>
#include <limits>

#include "api/codes.hpp"
#include "partfile/latin1.hpp"
#include "partfile/part_file.hpp"

namespace orvel::partfile {

using json = nlohmann::ordered_json;
using namespace orvel::model;

namespace {

json numbers(const double *values, int n) {
  json a = json::array();
  for (int i = 0; i < n; ++i) a.push_back(values[i]);
  return a;
}

json view_json(const ViewSnapshot &v) {
  return {{"name", latin1_to_utf8(v.name)},
          {"out_of_date", v.out_of_date},
          {"reference_point", numbers(v.reference_point, 2)},
          {"scale", v.scale},
          {"angle", v.angle},
          {"borders", numbers(v.borders, 4)},
          {"notes", v.notes},
          {"dependents", v.dependents}};
}

// Validating reads of one snapshot; every problem names the file and place.
class SnapshotReader {
 public:
  explicit SnapshotReader(const std::string &file) : file_(file) {}

  Snapshot read(const json &v, const std::string &p) const {
    fields(v, p, {"sequence", "drawings"});
    Snapshot s;
    s.sequence = count(need(v, "sequence", p), p + "/sequence");
    const json &drawings = need(v, "drawings", p);
    array(drawings, p + "/drawings");
    for (size_t i = 0; i < drawings.size(); ++i) {
      s.drawings.push_back(drawing(drawings[i], p + "/drawings/" + std::to_string(i)));
    }
    return s;
  }

 private:
  [[noreturn]] void fail(const std::string &p, const std::string &problem) const {
    throw LoadError(kPartFileInvalid, file_, p, problem);
  }

  void fields(const json &v, const std::string &p,
              std::initializer_list<const char *> allowed) const {
    if (!v.is_object()) fail(p, "expected an object");
    for (auto it = v.begin(); it != v.end(); ++it) {
      bool known = false;
      for (const char *name : allowed) known = known || it.key() == name;
      if (!known) fail(p + "/" + it.key(), "unknown field");
    }
  }

  const json &need(const json &v, const char *key, const std::string &p) const {
    auto it = v.find(key);
    if (it == v.end()) fail(p, std::string("missing required field \"") + key + "\"");
    return *it;
  }

  void array(const json &v, const std::string &p) const {
    if (!v.is_array()) fail(p, "expected an array");
  }

  int count(const json &v, const std::string &p) const {
    if (!v.is_number_integer() || v.get<long long>() < 0 ||
        v.get<long long>() > std::numeric_limits<int>::max()) {
      fail(p, "expected a count from 0 to " + std::to_string(std::numeric_limits<int>::max()));
    }
    return v.get<int>();
  }

  double number(const json &v, const std::string &p) const {
    if (!v.is_number() || !std::isfinite(v.get<double>())) fail(p, "expected a finite number");
    return v.get<double>();
  }

  void numbers(const json &v, const std::string &p, double *out, size_t n) const {
    if (!v.is_array() || v.size() != n) fail(p, "expected " + std::to_string(n) + " numbers");
    for (size_t i = 0; i < n; ++i) out[i] = number(v[i], p + "/" + std::to_string(i));
  }

  bool flag(const json &v, const std::string &p) const {
    if (!v.is_boolean()) fail(p, "expected true or false");
    return v.get<bool>();
  }

  std::string name(const json &v, const std::string &p) const {
    if (!v.is_string()) fail(p, "expected a string");
    std::optional<std::string> text = utf8_to_latin1(v.get_ref<const std::string &>());
    if (!text) fail(p, "text holds a character beyond ISO-8859-1");
    if (text->size() > kMaxObjectName) fail(p, "name is longer than 132 characters");
    return *text;
  }

  DrawingSnapshot drawing(const json &v, const std::string &p) const {
    fields(v, p, {"name", "out_of_date", "sheet_dependents", "views"});
    DrawingSnapshot d;
    d.name = name(need(v, "name", p), p + "/name");
    d.out_of_date = flag(need(v, "out_of_date", p), p + "/out_of_date");
    d.sheet_dependents = count(need(v, "sheet_dependents", p), p + "/sheet_dependents");
    const json &views = need(v, "views", p);
    array(views, p + "/views");
    for (size_t i = 0; i < views.size(); ++i) {
      d.views.push_back(view(views[i], p + "/views/" + std::to_string(i)));
    }
    return d;
  }

  ViewSnapshot view(const json &v, const std::string &p) const {
    fields(v, p,
           {"name", "out_of_date", "reference_point", "scale", "angle", "borders", "notes",
            "dependents"});
    ViewSnapshot w;
    w.name = name(need(v, "name", p), p + "/name");
    w.out_of_date = flag(need(v, "out_of_date", p), p + "/out_of_date");
    numbers(need(v, "reference_point", p), p + "/reference_point", w.reference_point, 2);
    w.scale = number(need(v, "scale", p), p + "/scale");
    w.angle = number(need(v, "angle", p), p + "/angle");
    numbers(need(v, "borders", p), p + "/borders", w.borders, 4);
    w.notes = count(need(v, "notes", p), p + "/notes");
    w.dependents = count(need(v, "dependents", p), p + "/dependents");
    return w;
  }

  const std::string &file_;
};

}  // namespace

json snapshot_to_json(const Snapshot &snapshot) {
  json drawings = json::array();
  for (const DrawingSnapshot &d : snapshot.drawings) {
    json views = json::array();
    for (const ViewSnapshot &v : d.views) views.push_back(view_json(v));
    drawings.push_back({{"name", latin1_to_utf8(d.name)},
                        {"out_of_date", d.out_of_date},
                        {"sheet_dependents", d.sheet_dependents},
                        {"views", std::move(views)}});
  }
  return {{"sequence", snapshot.sequence}, {"drawings", std::move(drawings)}};
}

Snapshot snapshot_from_json(const json &v, const std::string &file, const std::string &path) {
  return SnapshotReader(file).read(v, path);
}

}  // namespace orvel::partfile

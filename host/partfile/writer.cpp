// Writing part files: the part's own objects back into the format they were
// read from, so that loading, saving and loading again loses nothing.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <type_traits>

#include "api/codes.hpp"
#include "model/drafting.hpp"
#include "partfile/latin1.hpp"
#include "partfile/part_file.hpp"
#include "partfile/snapshot_format.hpp"

namespace orvel::partfile {

using json = nlohmann::ordered_json;
using namespace orvel::model;

namespace {

const char *kStatusNames[] = {"deleted", "temporary", "condemned", "alive"};

// Host texts are ISO-8859-1; the file is UTF-8.
std::string u8(const std::string &latin1) {
  return latin1_to_utf8(latin1);
}

json vec3(const geom::Vec3 &v) {
  return json::array({v.x, v.y, v.z});
}

json attributes(const std::vector<Attribute> &list) {
  json result = json::array();
  for (const Attribute &a : list) {
    json e;
    e["title"] = u8(a.title);
    switch (a.value.type) {
      case ZK_ATTR_integer:
        e["type"] = "integer";
        e["value"] = a.value.integer;
        break;
      case ZK_ATTR_real:
        e["type"] = "real";
        e["value"] = a.value.real;
        break;
      case ZK_ATTR_time:
        e["type"] = "time";
        e["value"] = json::array({a.value.time[0], a.value.time[1]});
        break;
      default:
        e["type"] = "string";
        e["value"] = u8(a.value.text);
        break;
    }
    result.push_back(std::move(e));
  }
  return result;
}

json shape(const geom::Shape &s) {
  return std::visit(
      [](const auto &v) -> json {
        using T = std::decay_t<decltype(v)>;
        json e;
        if constexpr (std::is_same_v<T, geom::Block>) {
          e["type"] = "block";
          e["corner"] = vec3(v.corner);
          e["size"] = vec3(v.size);
        } else if constexpr (std::is_same_v<T, geom::Cylinder>) {
          e["type"] = "cylinder";
          e["base"] = vec3(v.base);
          e["axis"] = vec3(v.axis);
          e["radius"] = v.radius;
          e["height"] = v.height;
        } else if constexpr (std::is_same_v<T, geom::Sphere>) {
          e["type"] = "sphere";
          e["centre"] = vec3(v.centre);
          e["radius"] = v.radius;
        } else if constexpr (std::is_same_v<T, geom::KernelShape>) {
          // A B-rep read from an exchange file has no part file form.
          throw LoadError(kPartSaveFailed, "", "/",
                          "a body read from an exchange file cannot be written to a part file");
        } else {
          e["type"] = "mesh";
          json vertices = json::array();
          for (const geom::Vec3 &p : v.vertices) vertices.push_back(vec3(p));
          json triangles = json::array();
          for (const auto &t : v.triangles) triangles.push_back(json::array({t[0], t[1], t[2]}));
          e["vertices"] = std::move(vertices);
          e["triangles"] = std::move(triangles);
        }
        return e;
      },
      s);
}

const char *kind_of(const Object &o) {
  switch (o.type) {
    case ZK_expression_type:
      return "expression";
    case ZK_material_type:
      return "material";
    case ZK_feature_type:
      return "feature";
    case ZK_solid_type:
      return "body";
    case ZK_reference_set_type:
      return "reference_set";
    case ZK_arrangement_type:
      return "arrangement";
    case ZK_occ_instance_type:
      return "component";
    case ZK_point_type:
      return "point";
    case ZK_line_type:
      return "line";
    case ZK_circle_type:
      return "arc";
    case ZK_drawing_type:
      return "drawing";
    case ZK_view_type:
      return "view";
    case ZK_drafting_entity_type:
      return "drafting";
    case ZK_dimension_type:
      return "dimension";
    default:
      return "unknown";
  }
}

void drafting_fields(const Object &o, json &e);

void kind_fields(const Object &o, json &e) {
  switch (o.type) {
    case ZK_expression_type: {
      const auto &x = static_cast<const Expression &>(o);
      e["formula"] = u8(x.formula);
      e["value"] = x.value;
      break;
    }
    case ZK_feature_type: {
      const auto &f = static_cast<const Feature &>(o);
      if (!f.feature_type.empty()) e["feature_type"] = u8(f.feature_type);
      if (f.suppressed) e["suppressed"] = true;
      if (f.update_failure != 0) e["update_failure"] = f.update_failure;
      break;
    }
    case ZK_solid_type: {
      const auto &b = static_cast<const Body &>(o);
      e["body_type"] = b.body_type == ZK_MODL_SHEET_BODY ? "sheet" : "solid";
      e["density"] = b.density;
      if (b.material) e["material"] = u8(b.material->id);
      if (!b.features.empty()) {
        json features = json::array();
        for (const Feature *f : b.features) features.push_back(u8(f->id));
        e["features"] = std::move(features);
      }
      e["shape"] = shape(b.shape);
      break;
    }
    case ZK_reference_set_type: {
      json members = json::array();
      for (const Object *m : static_cast<const ReferenceSet &>(o).members) {
        members.push_back(u8(m->id));
      }
      e["members"] = std::move(members);
      break;
    }
    case ZK_arrangement_type:
      if (static_cast<const Arrangement &>(o).active) e["active"] = true;
      break;
    case ZK_occ_instance_type: {
      const auto &c = static_cast<const Instance &>(o);
      e["part"] = c.file;
      e["instance_name"] = u8(c.instance_name);
      e["reference_set"] = u8(c.refset_name);
      e["origin"] = vec3(c.origin);
      json rows = json::array();
      for (const auto &row : c.orientation) rows.push_back(json::array({row[0], row[1], row[2]}));
      e["orientation"] = std::move(rows);
      if (c.suppressed) e["suppressed"] = true;
      if (c.suppression) e["suppression_expression"] = u8(c.suppression->id);
      if (c.mating) {
        json m;
        m["name"] = u8(c.mating->name);
        if (c.mating->mated) m["mated"] = u8(c.mating->mated->id);
        m["constraints"] = c.mating->constraints;
        if (c.mating->suppressed) m["suppressed"] = true;
        e["mating"] = std::move(m);
      }
      break;
    }
    default:
      drafting_fields(o, e);
      break;
  }
}

json ids(const std::vector<Object *> &objects) {
  json result = json::array();
  for (const Object *o : objects) result.push_back(u8(o->id));
  return result;
}

// Curves, drawings, views and drafting objects.
void drafting_fields(const Object &o, json &e) {
  switch (o.type) {
    case ZK_point_type:
      e["coordinates"] = vec3(static_cast<const Point &>(o).at);
      break;
    case ZK_line_type:
      e["start"] = vec3(static_cast<const Line &>(o).start);
      e["end"] = vec3(static_cast<const Line &>(o).end);
      break;
    case ZK_circle_type: {
      const auto &a = static_cast<const Arc &>(o);
      e["centre"] = vec3(a.centre);
      e["radius"] = a.radius;
      e["start_angle"] = a.start_angle;
      e["end_angle"] = a.end_angle;
      break;
    }
    case ZK_drawing_type: {
      const auto &d = static_cast<const Drawing &>(o);
      if (d.sheet_view) e["sheet_view"] = u8(d.sheet_view->id);
      e["views"] = ids(std::vector<Object *>(d.views.begin(), d.views.end()));
      if (d.out_of_date) e["out_of_date"] = true;
      if (!d.updatable) e["updatable"] = false;
      break;
    }
    case ZK_view_type: {
      const auto &v = static_cast<const View &>(o);
      e["view_type"] = v.view_type;
      e["view_subtype"] = v.view_subtype;
      e["reference_point"] = json::array({v.reference_point[0], v.reference_point[1]});
      if (v.anchor) e["anchor"] = u8(v.anchor->id);
      e["scale"] = v.scale;
      e["angle"] = v.angle;
      e["borders"] = json::array({v.borders[0], v.borders[1], v.borders[2], v.borders[3]});
      if (v.out_of_date) e["out_of_date"] = true;
      if (v.update_failure != 0) e["update_failure"] = v.update_failure;
      if (!v.notes.empty()) e["notes"] = ids(v.notes);
      break;
    }
    case ZK_drafting_entity_type:
    case ZK_dimension_type: {
      const auto &a = static_cast<const Annotation &>(o);
      e["subtype"] = a.subtype;
      e["origin"] = vec3(a.origin);
      if (!a.associated.empty()) e["associated"] = ids(a.associated);
      json texts = json::array();
      for (const TextBlock &t : a.texts) {
        json lines = json::array();
        for (const std::string &line : t.lines) lines.push_back(u8(line));
        texts.push_back({{"type", t.type},
                         {"font", t.font},
                         {"size", t.size},
                         {"angle", t.angle},
                         {"lines", std::move(lines)}});
      }
      if (!texts.empty()) e["texts"] = std::move(texts);
      if (a.retained) e["retained"] = true;
      if (a.sketch_value) e["sketch_value"] = *a.sketch_value;
      break;
    }
    default:
      break;
  }
}

json object(const Object &o) {
  json e;
  e["id"] = u8(o.id);
  e["kind"] = kind_of(o);
  if (o.name) e["name"] = u8(*o.name);
  if (o.handle_given) e["handle"] = u8(o.handle);
  if (o.status != ZK_OBJ_ALIVE && o.status >= 0 && o.status <= 3) {
    e["status"] = kStatusNames[o.status];
  }
  if (o.layer != kNoLayer) e["layer"] = o.layer;
  if (o.color != 0) e["color"] = o.color;
  if (o.font != 1) e["font"] = o.font;
  if (o.line_width != 0) e["line_width"] = o.line_width;
  if (o.blank_status != 0) e["blank"] = true;
  if (!o.displayable) e["displayable"] = false;
  if (!o.transferable) e["transferable"] = false;
  if (o.view) e["view"] = u8(o.view->id);
  if (!o.attributes.empty()) e["attributes"] = attributes(o.attributes);
  kind_fields(o, e);
  return e;
}

}  // namespace

namespace {

// The JSON pointer of the first number of `value` that is not finite, or
// nothing. The file format has no way to write one: it would be written as
// null, and the part could not be read back.
std::optional<std::string> non_finite_number(const json &value, const std::string &at) {
  if (value.is_number_float()) {
    if (std::isfinite(value.get<double>())) return std::nullopt;
    return at.empty() ? "/" : at;
  }
  if (value.is_array()) {
    for (size_t i = 0; i < value.size(); ++i)
      if (auto found = non_finite_number(value[i], at + "/" + std::to_string(i))) return found;
  } else if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it)
      if (auto found = non_finite_number(it.value(), at + "/" + it.key())) return found;
  }
  return std::nullopt;
}

json part_document(const Part &part) {
  json doc;
  doc["format"] = "orvel part";
  doc["version"] = part.format_version;
  doc["units"] = part.units;
  if (part.description) doc["description"] = u8(*part.description);
  json history = json::array();
  for (const HistoryEntry &h : part.history) {
    history.push_back({{"version", h.version},
                       {"time", h.time},
                       {"program", u8(h.program)},
                       {"user", u8(h.user)},
                       {"machine", u8(h.machine)}});
  }
  doc["history"] = std::move(history);
  doc["attributes"] = attributes(part.attributes);
  json objects = json::array();
  for (const Object *o : part.file_objects()) objects.push_back(object(*o));
  doc["objects"] = std::move(objects);
  if (!part.failures.empty()) {
    json failures = json::array();
    for (const FailureSpec &f : part.failures) {
      json e;
      e["call"] = u8(f.call);
      e["code"] = f.code;
      if (f.skip != 0) e["skip"] = f.skip;
      if (f.times) e["times"] = *f.times;
      if (!f.object_id.empty()) e["object"] = u8(f.object_id);
      failures.push_back(std::move(e));
    }
    doc["failures"] = std::move(failures);
  }
  if (part.snapshot) doc["snapshot"] = snapshot_to_json(*part.snapshot);
  return doc;
}

}  // namespace

std::string format_part(const Part &part) {
  return part_document(part).dump(2) + "\n";
}

std::string text_digest(const std::string &text) {
  // FNV-1a over the bytes, with the length: enough to notice a changed file.
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  char out[48];
  std::snprintf(out, sizeof out, "%zu:%016llx", text.size(), static_cast<unsigned long long>(hash));
  return out;
}

namespace {

// Writes all of `text` to a new file `path` and flushes it to the disk.
// The temporary file's name is known in advance, so it is always created
// afresh: a file left there by a killed run is removed first, and one that
// appears in between (a link planted to make the save write elsewhere) makes
// the save fail rather than be followed.
bool write_synced(const std::string &path, const std::string &text) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char *data = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

// Flushes the directory entry of a renamed file; a failure here loses
// nothing that the rename did not already make visible.
void sync_directory(const std::string &file) {
  std::string dir = std::filesystem::path(file).parent_path().string();
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string write_part(const Part &part, const std::string &file,
                       const std::function<void(const std::string &temporary)> &before_rename) {
  if (!part.exchange_format.empty()) {
    throw LoadError(kPartSaveFailed, file, "/",
                    "the part was read from a " + part.exchange_format +
                        " file, which the host does not write");
  }
  const json doc = part_document(part);
  // A number that is not finite (an object moved beyond the range of
  // numbers) would make a part file that cannot be opened again: the save
  // fails and the file on the disk stays as it was.
  if (std::optional<std::string> at = non_finite_number(doc, "")) {
    throw LoadError(kPartSaveFailed, file, "/", "the number at " + *at + " is not finite");
  }
  std::string text = doc.dump(2) + "\n";
  std::string temporary = file + ".tmp" + std::to_string(::getpid());
  if (!write_synced(temporary, text)) {
    std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    throw LoadError(kPartSaveFailed, file, "/",
                    "cannot write the temporary file " + temporary + ": " + reason);
  }
  if (before_rename) before_rename(temporary);
  if (std::rename(temporary.c_str(), file.c_str()) != 0) {
    std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    throw LoadError(kPartSaveFailed, file, "/", "cannot replace the file: " + reason);
  }
  sync_directory(file);
  return text_digest(text);
}

}  // namespace orvel::partfile

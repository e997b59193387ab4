// C API: CGM output of drawings (PLOT) and the legacy export zc6410. The
// drawing becomes a scene (cgm/drawing_scene) that the CGM writer draws;
// with a preview directory set, the same scene also goes to an SVG file.
#include <filesystem>

#include "api/api_util.hpp"
#include "cgm/drawing_scene.hpp"
#include "cgm/writer.hpp"
#include "orvel/zk_draw.h"
#include "orvel/zk_plot.h"

using namespace orvel;

namespace {

int write_drawing(const model::Drawing &drawing, const char *path, bool black_on_white) {
  if (!path || !*path) return kInvalidArgument;
  const int units = drawing.part ? drawing.part->units : ZK_PART_METRIC;
  const cgm::Scene scene = cgm::scene_of(drawing, units);
  std::string error = cgm::write_scene(scene, path, {cgm::PictureFormat::kCgm, black_on_white});
  if (!error.empty()) {
    session().set_failure_detail(kCgmWriteFailed, error);
    return kCgmWriteFailed;
  }
  // The picture is the embedding program's own output: the CGM file the
  // caller asked for is written, so a picture that could not be is kept
  // for the program to report rather than failing the call.
  if (!session().options().preview_dir.empty()) {
    const std::filesystem::path svg =
        std::filesystem::path(session().options().preview_dir) /
        std::filesystem::path(path).filename().replace_extension(".svg");
    error = cgm::write_scene(scene, svg.string(), {cgm::PictureFormat::kSvg, black_on_white});
    if (!error.empty()) session().note_failed_cgm("SVG picture not written: " + error);
  }
  return kOk;
}

// Keeps a CGM export that did not write its file for the embedding program:
// the plug-in's plot-mode export does not look at the code, so without this
// a drawing that was never written would pass unnoticed. The write's own
// message already names the path; other failures get the code's text, and
// the drawing's name when there is no path to tell which file it was.
int kept_if_failed(int code, const char *path, const std::string &drawing) {
  if (code == kOk) return code;
  const std::string *detail = session().failure_detail(code);
  std::string where = path && *path ? path : "(no path) for drawing " + drawing;
  std::string text =
      code == kCgmWriteFailed && detail ? *detail : where + ": " + code_message(code);
  session().note_failed_cgm("CGM file not written: " + text);
  return code;
}

// The name of the drawing `drawing` for a failure message, or its tag.
std::string drawing_label(tag_t drawing) {
  const model::Object *d = session().find(drawing);
  if (d && d->name) return *d->name;
  return "with tag " + std::to_string(drawing);
}

int save_cgm(tag_t drawing, const ZK_PLOT_job_options_t *options, const char *job_name,
             const void *reserved, const char *path) {
  if (!options || !job_name || reserved) return kInvalidArgument;
  auto *d = session().find_as<model::Drawing>(drawing, ZK_drawing_type);
  if (!d) return session().find(drawing) ? kWrongType : kInvalidTag;
  ORVEL_INJECT(drawing);
  return write_drawing(*d, path, options->colors == ZK_PLOT_BLACK_ON_WHITE);
}

int save_legacy_cgm(const char *drawing_name, const char *path, const int numbers[15]) {
  if (!drawing_name || !numbers) return kInvalidArgument;
  model::Part *part = session().work_part();
  if (!part) return kNoWorkPart;
  model::Object *d = part->drawing_named(drawing_name, ZK_VIEW_CYCLE_NAME_BUFSIZE - 1);
  if (!d || d->type != ZK_drawing_type) return kNotFound;
  ORVEL_INJECT(d->tag);
  return write_drawing(static_cast<model::Drawing &>(*d), path, false);
}

}  // namespace

extern "C" {

int ZK_PLOT_ask_session_job_options(ZK_PLOT_job_options_t *options) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!options) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *options = session().plot_job_options;
    return kOk;
  });
}

int ZK_PLOT_set_session_job_options(const ZK_PLOT_job_options_t *options) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!options) return kInvalidArgument;
    if (options->colors != ZK_PLOT_COLORS_AS_DISPLAYED && options->colors != ZK_PLOT_BLACK_ON_WHITE)
      return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    session().plot_job_options = *options;
    return kOk;
  });
}

int ZK_PLOT_save_cgm(tag_t drawing, const ZK_PLOT_job_options_t *options, const char *job_name,
                     const void *reserved, const char *path) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    return kept_if_failed(save_cgm(drawing, options, job_name, reserved, path), path,
                          drawing_label(drawing));
  });
}

int zc6410(const char *drawing_name, const char *path, int /*mode*/, int /*size*/,
           const int numbers[15]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    return kept_if_failed(save_legacy_cgm(drawing_name, path, numbers), path,
                          drawing_name ? drawing_name : "(no name)");
  });
}

}  // extern "C"

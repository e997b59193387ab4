// C API: drafting objects and dimensions (DRF) and sketch dimensions (SKET).
// Text blocks go out in the fixed record layout of the SDK header and stay
// owned by the session until ZK_DRF_free_text gives them back.
#include <cstdio>
#include <memory>

#include "api/api_util.hpp"
#include "model/drafting.hpp"
#include "orvel/zk_draw.h"

using namespace orvel;
using orvel::api::copy_out;
using orvel::api::host_tags;

// The records and texts behind one handed-out text block array.
struct TextHandout {
  std::vector<ZK_DRF_draft_aid_text_t> blocks;
  std::vector<std::vector<ZK_DRF_text_line_t>> lines;
  std::vector<std::unique_ptr<char[]>> texts;
};

namespace {

model::Annotation *annotation_of(tag_t tag) {
  model::Object *o = session().find(tag);
  if (!o) return nullptr;
  o = const_cast<model::Object *>(o->origin());
  bool drafting = o->type == ZK_drafting_entity_type || o->type == ZK_dimension_type;
  return drafting ? static_cast<model::Annotation *>(o) : nullptr;
}

int bad_tag(tag_t tag) {
  return session().find(tag) ? kWrongType : kInvalidTag;
}

char *keep_text(TextHandout &h, const std::string &text) {
  h.texts.push_back(std::make_unique<char[]>(text.size() + 1));
  std::memcpy(h.texts.back().get(), text.c_str(), text.size() + 1);
  return h.texts.back().get();
}

std::unique_ptr<TextHandout> hand_out(const std::vector<model::TextBlock> &texts) {
  auto h = std::make_unique<TextHandout>();
  h->blocks.resize(texts.size());
  h->lines.resize(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    const model::TextBlock &t = texts[i];
    ZK_DRF_draft_aid_text_t &b = h->blocks[i];
    std::memset(&b, 0, sizeof b);
    b.text_type = t.type;
    b.text_font = t.font;
    b.text_size = t.size;
    b.text_angle = t.angle;
    b.num_lines = static_cast<int>(t.lines.size());
    h->lines[i].resize(t.lines.size());
    for (size_t k = 0; k < t.lines.size(); ++k) {
      ZK_DRF_text_line_t &line = h->lines[i][k];
      std::memset(&line, 0, sizeof line);
      line.n_chars = static_cast<int>(t.lines[k].size());
      line.height = t.size;
      line.width = t.size * 0.6 * static_cast<double>(t.lines[k].size());
      line.text = keep_text(*h, t.lines[k]);
    }
    b.lines = h->lines[i].empty() ? nullptr : h->lines[i].data();
  }
  return h;
}

}  // namespace

extern "C" {

int ZK_DRF_is_annotation_retained(tag_t object, logical *retained) {
  if (!retained) return kInvalidArgument;
  *retained = 0;
  model::Annotation *a = annotation_of(object);
  if (!a) return bad_tag(object);
  ORVEL_INJECT(object);
  *retained = a->retained ? 1 : 0;
  return kOk;
}

int ZK_DRF_ask_origin(tag_t object, double origin[3]) {
  if (!origin) return kInvalidArgument;
  model::Annotation *a = annotation_of(object);
  if (!a) return bad_tag(object);
  ORVEL_INJECT(object);
  origin[0] = a->origin.x;
  origin[1] = a->origin.y;
  origin[2] = a->origin.z;
  return kOk;
}

int ZK_DRF_ask_associativity_data(tag_t object, int *count, tag_t **objects) {
  if (!count || !objects) return kInvalidArgument;
  *count = 0;
  *objects = nullptr;
  model::Annotation *a = annotation_of(object);
  if (!a) return bad_tag(object);
  ORVEL_INJECT(object);
  if (a->associated.empty()) return kOk;
  // Never fewer than two words: callers read the first two.
  std::vector<tag_t> tags(std::max<size_t>(a->associated.size(), 2), NULL_TAG);
  for (size_t i = 0; i < a->associated.size(); ++i) tags[i] = a->associated[i]->tag;
  *objects = host_tags(tags);
  if (!*objects) return kInvalidArgument;
  *count = static_cast<int>(a->associated.size());
  return kOk;
}

int ZK_DRF_ask_draft_aid_text_info(tag_t object, int *count, ZK_DRF_draft_aid_text_t **blocks) {
  if (!count || !blocks) return kInvalidArgument;
  *count = 0;
  *blocks = nullptr;
  model::Annotation *a = annotation_of(object);
  if (!a) return bad_tag(object);
  ORVEL_INJECT(object);
  if (a->texts.empty()) return kOk;
  std::unique_ptr<TextHandout> h = hand_out(a->texts);
  *blocks = h->blocks.data();
  *count = static_cast<int>(h->blocks.size());
  session().track_at(*blocks, std::move(h));
  return kOk;
}

int ZK_DRF_free_text(int count, ZK_DRF_draft_aid_text_t **blocks) {
  if (!blocks) return kInvalidArgument;
  if (!*blocks) return count == 0 ? kOk : kInvalidArgument;
  TextHandout *h = session().tracked<TextHandout>(*blocks);
  if (!h || count != static_cast<int>(h->blocks.size())) return kInvalidArgument;
  // An injected failure is reported, but the memory is released all the
  // same: a caller cannot retry a release.
  int injected = session().injected_failure(__func__, NULL_TAG);
  session().release(*blocks);
  *blocks = nullptr;
  return injected;
}

int ZK_SKET_ask_dim_status(tag_t dimension, int *status, char text[ZK_SKET_DIM_TEXT_BUFSIZE],
                           double *value, int *sketch) {
  if (!status || !text || !value || !sketch) return kInvalidArgument;
  model::Object *o = session().find(dimension);
  if (!o) return kInvalidTag;
  ORVEL_INJECT(dimension);
  model::Annotation *a = annotation_of(dimension);
  if (!a || a->type != ZK_dimension_type || !a->sketch_value) return kNotASketchDimension;
  char formatted[64];
  std::snprintf(formatted, sizeof formatted, "%.6g", *a->sketch_value);
  *status = 1;
  copy_out(text, ZK_SKET_DIM_TEXT_BUFSIZE, a->name.value_or(a->handle) + "=" + formatted);
  *value = *a->sketch_value;
  *sketch = 0;
  return kOk;
}

}  // extern "C"

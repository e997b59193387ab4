/* Formats taken apart for the bounded formatter, and the plans kept for the
 * formats in the plug-in's read-only memory. */
#include "vettra/text/format_plan.h"

#include <link.h>
#include <stdint.h>
#include <string.h>

struct format_plan kept_format_plans[PLAN_SLOTS];

/* The read-only segments of the object this code is loaded from: its code
 * and its constants, string literals among them. */
#define READ_ONLY_SPANS 8

struct read_only_span {
  uintptr_t start;
  uintptr_t end;
};

static struct read_only_span read_only_spans[READ_ONLY_SPANS];
static int read_only_span_count = -1; /* -1 until they are looked up */

static int holds_address(const struct dl_phdr_info *info, uintptr_t address) {
  for (int i = 0; i < info->dlpi_phnum; i++) {
    const ElfW(Phdr) *segment = &info->dlpi_phdr[i];
    uintptr_t start = info->dlpi_addr + segment->p_vaddr;
    if (segment->p_type == PT_LOAD && address >= start && address - start < segment->p_memsz) {
      return 1;
    }
  }
  return 0;
}

/* dl_iterate_phdr's callback: notes the read-only loaded segments of the
 * object holding `data`, and stops there. */
static int note_read_only_segments(struct dl_phdr_info *info, size_t info_size, void *data) {
  (void)info_size;
  if (!holds_address(info, (uintptr_t)data)) return 0;
  for (int i = 0; i < info->dlpi_phnum && read_only_span_count < READ_ONLY_SPANS; i++) {
    const ElfW(Phdr) *segment = &info->dlpi_phdr[i];
    if (segment->p_type != PT_LOAD || (segment->p_flags & PF_W) != 0) continue;
    uintptr_t start = info->dlpi_addr + segment->p_vaddr;
    read_only_spans[read_only_span_count].start = start;
    read_only_spans[read_only_span_count].end = start + segment->p_memsz;
    read_only_span_count++;
  }
  return 1;
}

static int in_read_only_memory(const char *text) {
  if (read_only_span_count < 0) {
    read_only_span_count = 0;
    dl_iterate_phdr(note_read_only_segments, (void *)&read_only_spans);
  }
  uintptr_t address = (uintptr_t)text;
  for (int i = 0; i < read_only_span_count; i++) {
    if (address >= read_only_spans[i].start && address < read_only_spans[i].end) return 1;
  }
  return 0;
}

/* The conversion that starts at `conversion` (just past a "%"), or -1 when
 * it is not a plain one; *end is set just past it. */
static int plain_conversion_at(const char *conversion, const char **end) {
  int is_long = *conversion == 'l';
  if (is_long) conversion++;
  *end = conversion + 1;
  switch (*conversion) {
    case 's':
      return is_long ? -1 : CONVERT_TEXT;
    case 'd':
      return is_long ? CONVERT_LONG : CONVERT_INT;
    case 'u':
      return is_long ? CONVERT_UNSIGNED_LONG : -1;
    case 'f':
      return CONVERT_DOUBLE;
    case '%':
      return is_long ? -1 : CONVERT_PERCENT;
    default:
      return -1;
  }
}

/* Takes `format` apart into *plan; plan->plain stays 0 when any conversion
 * is not a plain one or the format does not fit a plan. */
static void take_apart(const char *format, struct format_plan *plan) {
  plan->format = format;
  plan->plain = 0;
  plan->has_double = 0;
  plan->count = 0;
  const char *at = format;
  for (;;) {
    const char *percent = strchr(at, '%');
    if (percent == NULL) {
      size_t tail = strlen(at);
      if ((size_t)(at - format) + tail > PLAN_FORMAT_MAX) return;
      plan->tail_at = (uint16_t)(at - format);
      plan->tail_length = (uint16_t)tail;
      plan->plain = 1;
      return;
    }
    const char *end;
    int conversion = plain_conversion_at(percent + 1, &end);
    if (conversion < 0 || plan->count == PLAN_PIECES || (size_t)(end - format) > PLAN_FORMAT_MAX) {
      return;
    }
    struct format_piece *piece = &plan->pieces[plan->count++];
    piece->plain_at = (uint16_t)(at - format);
    piece->plain_length = (uint16_t)(percent - at);
    piece->conversion = (uint8_t)conversion;
    if (conversion == CONVERT_DOUBLE) plan->has_double = 1;
    at = end;
  }
}

const struct format_plan *plan_format(const char *format, struct format_plan *slot,
                                      struct format_plan *work) {
  struct format_plan *plan = in_read_only_memory(format) ? slot : work;
  take_apart(format, plan);
  return plan;
}

/* A printf format taken apart: its runs of plain text and the conversions
 * between them, for the bounded formatter's own quick path. A format the
 * plug-in keeps in its read-only memory (every literal it writes lines with)
 * is taken apart once and its plan kept, since such a text can never change
 * under the same address; any other format is taken apart on each call. */
#ifndef VETTRA_FORMAT_PLAN_H
#define VETTRA_FORMAT_PLAN_H

#include <stddef.h>
#include <stdint.h>

/* The conversions the quick path puts together itself: "%s", "%d", "%ld",
 * "%lu", "%f" or "%lf", and "%%". */
enum plain_conversion {
  CONVERT_TEXT,
  CONVERT_INT,
  CONVERT_LONG,
  CONVERT_UNSIGNED_LONG,
  CONVERT_DOUBLE,
  CONVERT_PERCENT
};

/* The most conversions a plan holds; a format with more is left to the C
 * library, as is one longer than a plan's offsets reach. */
#define PLAN_PIECES 16
#define PLAN_FORMAT_MAX UINT16_MAX

/* Plain text from `plain_at`, `plain_length` bytes long, then a conversion. */
struct format_piece {
  uint16_t plain_at;
  uint16_t plain_length;
  uint8_t conversion; /* an enum plain_conversion */
};

struct format_plan {
  const char *format; /* the format the plan was taken from */
  uint8_t plain;      /* 1 when every conversion is a plain one */
  uint8_t has_double; /* 1 when one of them is a double */
  uint8_t count;      /* pieces */
  uint16_t tail_at;   /* the plain text after the last conversion */
  uint16_t tail_length;
  struct format_piece pieces[PLAN_PIECES];
};

/* Kept plans, one per slot: a format takes the slot its address gives. */
#define PLAN_SLOT_BITS 9
#define PLAN_SLOTS (1u << PLAN_SLOT_BITS)

extern struct format_plan kept_format_plans[PLAN_SLOTS];

static inline size_t format_plan_slot(const char *format) {
  uint64_t address = (uint64_t)(uintptr_t)format;
  return (size_t)((address * UINT64_C(0x9E3779B97F4A7C15)) >> (64 - PLAN_SLOT_BITS));
}

/* The plan of a format that has none kept in *slot: taken apart into the
 * slot when the format lies in read-only memory, else into *work. */
const struct format_plan *plan_format(const char *format, struct format_plan *slot,
                                      struct format_plan *work);

/* The plan of `format`: a kept one, or one taken apart. Only formats in
 * read-only memory are ever kept, so a kept plan of the same address is
 * still the format's own. Inline: every line asks. */
static inline const struct format_plan *format_plan_of(const char *format,
                                                       struct format_plan *work) {
  struct format_plan *kept = &kept_format_plans[format_plan_slot(format)];
  if (kept->format == format) return kept;
  return plan_format(format, kept, work);
}

#endif

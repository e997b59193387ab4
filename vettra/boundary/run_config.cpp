/* The run configuration with its defaults, the run state and the program's
 * identity. The configuration is set once, when the library is loaded; a
 * batch caller fills it before it calls StartOfProgram. */
#include "vettra/boundary/run_config.h"

#include "vettra/boundary/entry_points.h"
#include "vettra/boundary/identity.h"

const char *const PROGRAM_NAME = "Vettra";
const char *const PROGRAM_RELEASE = "V2.0.0.2 (Orvel 8) (intern)";
const char *const BUILD_DATE = "(Jan 30 2013)";
const char *const PROGRAM_PREFIX = "+++Vettra: ";

extern "C" {
VETTRA_EXPORT struct run_config vettra_run_config = {
    /* Parts to check */
    "", /* part_list_file */
    "", /* result_file */
    "", /* outdir */
    "", /* single_part */
    /* CGM export */
    "", /* cgm_dir */
    "", /* drawing_filter */
    /* Report selection */
    "", /* detail_option */
    "", /* action */
    /* CGM import */
    "", /* cgm_target_part */
    "", /* cgm1_file */
    /* Update flags */
    0, /* update_views */
    0, /* update_features */
    0, /* update_structure */
    /* CGM settings */
    "", /* cgm2_file */
    "", /* cgm_mode */
    /* Per-part extras */
    0, /* do_snapshot */
    0, /* do_save */
    /* Diagnostics */
    0, /* verbose */
    0, /* console_output */
    0, /* log_channel: listing window */
    /* CGM import placement */
    "",       /* cgm_template_part */
    -1,       /* cgm1_color */
    -1,       /* cgm2_color */
    -1,       /* cgm1_layer */
    -1,       /* cgm2_layer */
    -99999.0, /* cgm_offset_x */
    -99999.0, /* cgm_offset_y */
    /* Run outcome */
    0, /* result_lines_lost */
    0, /* import_result */
};
}

struct run_state vettra_run_state = {};

// C API: the session, its services and the numbered file-name routines.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "api/api_util.hpp"
#include "orvel/zk_session.h"

using namespace orvel;
using orvel::api::copy_out;

extern "C" {

int ZK_initialize(void) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    session();
    return kOk;
  });
}

int ZK_terminate(void) {
  return api::guard(__func__, kHostFault, [&]() -> int { return kOk; });
}

int ZK_get_fail_message(int code, char message[ZK_FAIL_MESSAGE_BUFSIZE]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!message) return kInvalidArgument;
    if (const std::string *detail = session().failure_detail(code)) {
      copy_out(message, ZK_FAIL_MESSAGE_BUFSIZE, *detail);
      return kOk;
    }
    if (const char *text = code_message(code)) {
      copy_out(message, ZK_FAIL_MESSAGE_BUFSIZE, text);
      return kOk;
    }
    copy_out(message, ZK_FAIL_MESSAGE_BUFSIZE, "Unknown error code " + std::to_string(code));
    return kUnknownCode;
  });
}

int ZK_print_syslog(const char *text, int /*flush*/) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!text) return kInvalidArgument;
    if (!session().print_syslog(text)) {
      session().set_failure_detail(
          kSyslogWriteFailed,
          std::string(code_message(kSyslogWriteFailed)) + ": " + session().syslog_failure());
      return kSyslogWriteFailed;
    }
    return kOk;
  });
}

int ZK_UI_is_listing_window_open(logical *open) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!open) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *open = session().listing_open() ? 1 : 0;
    return kOk;
  });
}

int ZK_UI_open_listing_window(void) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    ORVEL_INJECT(NULL_TAG);
    session().open_listing();
    return kOk;
  });
}

int ZK_UI_write_listing_window(const char *text) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!text) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    if (!session().listing_open()) return kListingWindowClosed;
    std::fputs(text, stdout);
    std::fflush(stdout);
    return kOk;
  });
}

int ZK_translate_variable(const char *name, char **value) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!name || !value) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *value = std::getenv(name);
    return kOk;
  });
}

int ZK_get_release(char **release) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!release) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    const std::string &text = session().options().release;
    *release = text.empty() ? nullptr : api::host_text(text);
    return kOk;
  });
}

void ZK_free(void *memory) {
  // Cannot throw: nothing to guard.
  std::free(memory);
}

int ZK_begin_timer(ZK_timer_t *timer) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!timer) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    *timer = session().begin_timer();
    return kOk;
  });
}

int ZK_end_timer(ZK_timer_t timer, ZK_timer_values_t *values) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!values) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    if (!session().end_timer(timer, &values->cpu_time, &values->real_time)) return kInvalidTimer;
    return kOk;
  });
}

int zc4574(const char *fspec, int mode, char out[ZK_FSPEC_BUFSIZE]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!out) return kInvalidArgument;
    out[0] = '\0';
    if (!fspec) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    std::string spec(fspec);
    size_t slash = spec.find_last_of("/\\");
    std::string directory = slash == std::string::npos ? "" : spec.substr(0, slash);
    std::string file = slash == std::string::npos ? spec : spec.substr(slash + 1);
    switch (mode) {
      case 1:
        copy_out(out, ZK_FSPEC_BUFSIZE, file);
        return kOk;
      case 2: {
        size_t dot = file.rfind('.');
        if (dot != std::string::npos && dot != 0) file.erase(dot);
        copy_out(out, ZK_FSPEC_BUFSIZE, file);
        return kOk;
      }
      case 3:
        copy_out(out, ZK_FSPEC_BUFSIZE, directory);
        return kOk;
      default:
        return kInvalidArgument;
    }
  });
}

int zc4575(const char *dir, int /*type*/, const char *fname, char path[ZK_PATH_BUFSIZE]) {
  return api::guard(__func__, kHostFault, [&]() -> int {
    if (!path) return kInvalidArgument;
    path[0] = '\0';
    if (!dir || !fname) return kInvalidArgument;
    ORVEL_INJECT(NULL_TAG);
    std::string joined(dir);
    if (!joined.empty() && joined.back() != '/') joined += '/';
    joined += fname;
    if (joined.size() > ZK_PATH_BUFSIZE - 1) return kPathTooLong;
    copy_out(path, ZK_PATH_BUFSIZE, joined);
    return kOk;
  });
}

}  // extern "C"

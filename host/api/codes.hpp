// The host's return codes and their messages: the one table that
// ZK_get_fail_message reads. Every code the host returns is listed here.
#pragma once

#include <string>
#include <vector>

namespace orvel {

enum HostCode : int {
  kOk = 0,
  kOutOfDate = 200,
  kNotInitialized = 1001,
  kInvalidArgument = 1002,
  kInvalidTag = 1003,
  kWrongType = 1004,
  kNoName = 1005,
  kNotFound = 1006,
  kNoWorkPart = 1007,
  kListingWindowClosed = 1008,
  kInvalidTimer = 1009,
  kPathTooLong = 1010,
  kNoSuchAttribute = 1011,
  kAttributeType = 1012,
  kUnitsNotSupported = 1013,
  kNoVolume = 1014,
  kNotAnOccurrence = 1015,
  kUnknownCode = 1016,
  kHostFault = 1017,
  kMassNotFinite = 1018,
  kSyslogWriteFailed = 1019,
  kNotASketchDimension = 1020,
  kViewNotInDrawing = 1021,
  kNotOfView = 1022,
  kPartFileMissing = 1101,
  kPartFileUnreadable = 1102,
  kPartFileSyntax = 1103,
  kPartFileInvalid = 1104,
  kPartNameTooLong = 1105,
  kComponentCycle = 1106,
  kComponentMissing = 1107,
  kPartSaveFailed = 1108,
  kManagedPartUnknown = 1109,
  kPdmNotActive = 1110,
  kNameTooLong = 1111,
  kPdmStoreFailed = 1112,
  kComponentChanged = 1113,
  kFeatureUpdateFailed = 1201,
  kFeatureParentMissing = 1202,
  kViewUpdateFailed = 1203,
  kCgmWriteFailed = 1301,
  kCgmReadFailed = 1302,
};

// The table text of `code`, nothing when the table has no such code.
const char *code_message(int code);

// Every code of the table.
std::vector<int> known_codes();

}  // namespace orvel

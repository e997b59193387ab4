// The table of host codes and messages.
#include "api/codes.hpp"

#include <iterator>

namespace orvel {
namespace {

struct CodeEntry {
  int code;
  const char *message;
};

constexpr CodeEntry kTable[] = {
    {kOk, "No error"},
    {kOutOfDate, "Drawing is out of date"},
    {kNotInitialized, "The host interface is not ready"},
    {kInvalidArgument, "Invalid argument"},
    {kInvalidTag, "Invalid object tag"},
    {kWrongType, "Object is not of the expected type"},
    {kNoName, "Object has no name"},
    {kNotFound, "Object not found"},
    {kNoWorkPart, "No work part"},
    {kListingWindowClosed, "Listing window is not open"},
    {kInvalidTimer, "Invalid timer"},
    {kPathTooLong, "Path is too long"},
    {kNoSuchAttribute, "Attribute not found"},
    {kAttributeType, "Attribute is of another type"},
    {kUnitsNotSupported, "Units code not supported"},
    {kNoVolume, "Body has no volume"},
    {kNotAnOccurrence, "Object is not an occurrence"},
    {kUnknownCode, "Unknown error code"},
    {kHostFault, "Internal host failure"},
    {kMassNotFinite, "Mass properties are not finite"},
    {kSyslogWriteFailed, "System log cannot be written"},
    {kNotASketchDimension, "Object is not a sketch dimension"},
    {kViewNotInDrawing, "View is not a member of the drawing"},
    {kNotOfView, "Object does not depend on the view"},
    {kPartFileMissing, "Part file not found"},
    {kPartFileUnreadable, "Part file cannot be read"},
    {kPartFileSyntax, "Part file is not valid JSON"},
    {kPartFileInvalid, "Part file content is invalid"},
    {kPartNameTooLong, "Part name is too long"},
    {kComponentCycle, "Assembly contains a component cycle"},
    {kComponentMissing, "Component part could not be loaded"},
    {kPartSaveFailed, "Part file cannot be written"},
    {kManagedPartUnknown, "Managed part not found"},
    {kPdmNotActive, "PDM mode is not active"},
    {kNameTooLong, "Name is too long"},
    {kPdmStoreFailed, "PDM store cannot be read"},
    {kComponentChanged, "Component part file changed since it was loaded"},
    {kFeatureUpdateFailed, "Feature cannot be updated"},
    {kFeatureParentMissing, "Feature refers to a missing parent"},
    {kViewUpdateFailed, "View cannot be updated"},
    {kCgmWriteFailed, "CGM file cannot be written"},
    {kCgmReadFailed, "CGM file cannot be read"},
};

}  // namespace

const char *code_message(int code) {
  for (const CodeEntry &entry : kTable) {
    if (entry.code == code) return entry.message;
  }
  return nullptr;
}

std::vector<int> known_codes() {
  std::vector<int> codes;
  for (const CodeEntry &entry : kTable) codes.push_back(entry.code);
  return codes;
}

}  // namespace orvel

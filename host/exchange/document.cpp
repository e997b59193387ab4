// Reading STEP, IGES and BREP files into the kernel's assembly document.
// Lengths are converted to millimetres on the way in; the file's header
// data and its unreadable entities are collected for the part.
#include "exchange/document.hpp"

#include <APIHeaderSection_MakeHeader.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <IGESCAFControl_Reader.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESData_IGESModel.hxx>
#include <Interface_HArray1OfHAsciiString.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <STEPControl_Controller.hxx>
#include <STEPControl_Reader.hxx>
#include <StepData_StepModel.hxx>
#include <TColStd_SequenceOfAsciiString.hxx>
#include <TCollection_HAsciiString.hxx>
#include <TopoDS_Shape.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <XSControl_WorkSession.hxx>
#include <cctype>
#include <fstream>
#include <type_traits>

#include "api/codes.hpp"
#include "partfile/part_file.hpp"

namespace orvel::exchange {

namespace {

using partfile::LoadError;

// The kernel's readers report on standard output, which is the host's
// listing window: keep them quiet.
void silence_kernel() {
  static const bool silenced = [] {
    const Handle(Message_Messenger) &messenger = Message::DefaultMessenger();
    messenger->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    // The readers' settings (such as the unit to convert to) exist once
    // their controllers are set up.
    STEPControl_Controller::Init();
    IGESControl_Controller::Init();
    return true;
  }();
  (void)silenced;
}

// The readers convert every length to this unit.
void use_millimetres(const Handle(TDocStd_Document) & doc) {
  Interface_Static::SetCVal("xstep.cascade.unit", "MM");
  XCAFDoc_DocumentTool::SetLengthUnit(doc, 0.001);
}

std::string text(const Handle(TCollection_HAsciiString) & s) {
  return s.IsNull() ? std::string() : std::string(s->ToCString());
}

void add_header(ReadDocument &read, const std::string &title, const std::string &value) {
  if (!value.empty()) read.header.emplace_back(title, value);
}

// Entities the file's syntax or content made unreadable: counted, and the
// first few named by their labels in the file.
void count_unreadable(ReadDocument &read, const Handle(Interface_InterfaceModel) & model) {
  constexpr int listed = 5;
  if (model.IsNull()) return;
  for (int i = 1; i <= model->NbEntities(); ++i) {
    if (!model->IsErrorEntity(i)) continue;
    if (++read.skipped <= listed) {
      std::string label = text(model->StringLabel(model->Value(i)));
      read.skipped_list += (read.skipped_list.empty() ? "" : ", ") + label;
    }
  }
  if (read.skipped > listed) read.skipped_list += ", ...";
}

void refuse_unreadable(IFSelect_ReturnStatus status, const std::string &file,
                       const std::string &format) {
  if (status == IFSelect_RetDone) return;
  throw LoadError(kPartFileUnreadable, file, "/",
                  "not a readable " + format + " file (the reader gave status " +
                      std::to_string(static_cast<int>(status)) + ")");
}

// Millimetres per unit of a STEP length unit name; 1 for a name not known.
double millimetres_per(std::string name) {
  for (char &c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const std::pair<const char *, double> kUnits[] = {
      {"millimetre", 1.0},  {"millimeter", 1.0},  {"centimetre", 10.0}, {"centimeter", 10.0},
      {"decimetre", 100.0}, {"decimeter", 100.0}, {"metre", 1000.0},    {"meter", 1000.0},
      {"kilometre", 1e6},   {"kilometer", 1e6},   {"micrometre", 1e-3}, {"micrometer", 1e-3},
      {"nanometre", 1e-6},  {"nanometer", 1e-6},  {"inch", 25.4},       {"foot", 304.8},
      {"feet", 304.8},      {"yard", 914.4},      {"mile", 1609344.0},
  };
  for (const auto &[unit, mm] : kUnits)
    if (name == unit) return mm;
  return 1.0;
}

double step_file_unit(STEPControl_Reader &reader) {
  TColStd_SequenceOfAsciiString lengths, angles, solid_angles;
  reader.FileUnits(lengths, angles, solid_angles);
  return lengths.IsEmpty() ? 1.0 : millimetres_per(lengths.First().ToCString());
}

void step_header(ReadDocument &read, const Handle(StepData_StepModel) & model) {
  if (model.IsNull()) return;
  APIHeaderSection_MakeHeader header(model);
  add_header(read, "EXCHANGE_FILE_NAME", text(header.Name()));
  add_header(read, "EXCHANGE_ORIGINATING_SYSTEM", text(header.OriginatingSystem()));
  add_header(read, "EXCHANGE_PREPROCESSOR", text(header.PreprocessorVersion()));
  if (header.NbAuthor() > 0) add_header(read, "EXCHANGE_AUTHOR", text(header.AuthorValue(1)));
  if (header.NbOrganization() > 0)
    add_header(read, "EXCHANGE_ORGANIZATION", text(header.OrganizationValue(1)));
  add_header(read, "EXCHANGE_TIME_STAMP", text(header.TimeStamp()));
  if (header.NbSchemaIdentifiers() > 0)
    add_header(read, "EXCHANGE_SCHEMA", text(header.SchemaIdentifiersValue(1)));
}

void iges_header(ReadDocument &read, const Handle(IGESData_IGESModel) & model) {
  if (model.IsNull()) return;
  const IGESData_GlobalSection &global = model->GlobalSection();
  add_header(read, "EXCHANGE_FILE_NAME", text(global.FileName()));
  add_header(read, "EXCHANGE_ORIGINATING_SYSTEM", text(global.SystemId()));
  add_header(read, "EXCHANGE_PREPROCESSOR", text(global.InterfaceVersion()));
  add_header(read, "EXCHANGE_AUTHOR", text(global.AuthorName()));
  add_header(read, "EXCHANGE_ORGANIZATION", text(global.CompanyName()));
  add_header(read, "EXCHANGE_TIME_STAMP", text(global.Date()));
}

// The kernel's readers of colours, layers, validation properties and
// materials follow references into unreadable entities without checking
// them: a damaged file is read for its shapes, structure and names only.
template <typename Reader>
void skip_styles(Reader &reader, ReadDocument &read) {
  reader.SetColorMode(false);
  reader.SetLayerMode(false);
  if constexpr (std::is_same_v<Reader, STEPCAFControl_Reader>) {
    reader.SetPropsMode(false);
    reader.SetMatMode(false);
  }
  read.styles_skipped = true;
}

void read_step(const std::string &file, ReadDocument &read) {
  use_millimetres(read.doc);
  STEPCAFControl_Reader reader;
  reader.SetColorMode(true);
  reader.SetNameMode(true);
  reader.SetLayerMode(true);
  reader.SetPropsMode(true);
  reader.SetMatMode(true);
  reader.SetGDTMode(false);  // annotations and views are not part of the model
  reader.SetViewMode(false);
  refuse_unreadable(reader.ReadFile(file.c_str()), file, "STEP");
  Handle(StepData_StepModel) model = reader.ChangeReader().StepModel();
  step_header(read, model);
  add_header(read, "EXCHANGE_FORMAT", "STEP");
  count_unreadable(read, model);
  read.file_unit_mm = step_file_unit(reader.ChangeReader());
  if (read.skipped > 0) skip_styles(reader, read);
  if (!reader.Transfer(read.doc)) {
    throw LoadError(kPartFileInvalid, file, "/", "the STEP file holds no shape that can be read");
  }
}

void read_iges(const std::string &file, ReadDocument &read) {
  use_millimetres(read.doc);
  IGESCAFControl_Reader reader;
  reader.SetColorMode(true);
  reader.SetNameMode(true);
  reader.SetLayerMode(true);
  refuse_unreadable(reader.ReadFile(file.c_str()), file, "IGES");
  Handle(IGESData_IGESModel) model = Handle(IGESData_IGESModel)::DownCast(reader.WS()->Model());
  iges_header(read, model);
  add_header(read, "EXCHANGE_FORMAT", "IGES");
  count_unreadable(read, model);
  if (read.skipped > 0) skip_styles(reader, read);
  if (!reader.Transfer(read.doc)) {
    throw LoadError(kPartFileInvalid, file, "/", "the IGES file holds no shape that can be read");
  }
}

// A BREP file carries no units, names or structure: its shape is one
// product, in millimetres.
void read_brep(const std::string &file, ReadDocument &read) {
  TopoDS_Shape shape;
  BRep_Builder builder;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw LoadError(kPartFileUnreadable, file, "/", "cannot open the file");
  // The kernel's BREP reader writes its complaints to standard output: look
  // at the header first and refuse what is not a BREP file without it.
  std::string first;
  for (int line = 0; line < 4 && std::getline(in, first);) {
    if (first.empty() || first.rfind("DBRep_DrawableShape", 0) == 0) continue;
    break;
  }
  if (first.rfind("CASCADE Topology V", 0) != 0) {
    throw LoadError(kPartFileUnreadable, file, "/", "not a readable BREP file (no BREP header)");
  }
  in.clear();
  in.seekg(0);
  BRepTools::Read(shape, in, builder);
  if (shape.IsNull()) throw LoadError(kPartFileUnreadable, file, "/", "not a readable BREP file");
  XCAFDoc_DocumentTool::ShapeTool(read.doc->Main())->AddShape(shape, false);
  add_header(read, "EXCHANGE_FORMAT", "BREP");
}

}  // namespace

Handle(TDocStd_Document) new_document() {
  Handle(TDocStd_Document) doc;
  XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
  return doc;
}

void read_document(const std::string &file, const std::string &format, ReadDocument &read) {
  silence_kernel();
  if (format == "STEP") return read_step(file, read);
  if (format == "IGES") return read_iges(file, read);
  read_brep(file, read);
}

}  // namespace orvel::exchange

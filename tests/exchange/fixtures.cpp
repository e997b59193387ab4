// Builds the test shapes with the kernel and writes them through its data
// exchange, so that the host reads files that a real exporter wrote.
#include "fixtures.hpp"

#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <IGESCAFControl_Writer.hxx>
#include <IGESControl_Controller.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <STEPControl_Controller.hxx>
#include <TCollection_HAsciiString.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_Area.hxx>
#include <XCAFDoc_Centroid.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_LayerTool.hxx>
#include <XCAFDoc_MaterialTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <XCAFDoc_Volume.hxx>
#include <gp_Ax2.hxx>
#include <gp_Pln.hxx>
#include <stdexcept>

namespace exchange_fixtures {

namespace {

void quiet() {
  Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
  // The writers' settings exist once their controllers are set up.
  STEPControl_Controller::Init();
  IGESControl_Controller::Init();
}

struct Doc {
  Handle(TDocStd_Document) doc;
  Handle(XCAFDoc_ShapeTool) shapes;
  Doc() {
    quiet();
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", doc);
    shapes = XCAFDoc_DocumentTool::ShapeTool(doc->Main());
  }
  ~Doc() { XCAFApp_Application::GetApplication()->Close(doc); }
  TDF_Label product(const TopoDS_Shape &shape, const char *name) {
    TDF_Label label = shapes->AddShape(shape, false);
    TDataStd_Name::Set(label, name);
    return label;
  }
};

TopoDS_Shape block(double x, double y, double z, double dx, double dy, double dz) {
  return BRepPrimAPI_MakeBox(gp_Pnt(x, y, z), dx, dy, dz).Shape();
}

TopoDS_Shape cylinder(double r, double h) {
  return BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(0, 0, 0), gp_Dir(0, 0, 1)), r, h).Shape();
}

void write_step(Doc &d, const std::string &path, const std::string &unit) {
  Interface_Static::SetCVal("write.step.unit", unit.c_str());
  Interface_Static::SetCVal("write.step.schema", "AP214IS");
  STEPCAFControl_Writer writer;
  writer.SetColorMode(true);
  writer.SetNameMode(true);
  writer.SetLayerMode(true);
  writer.SetPropsMode(true);
  writer.SetMaterialMode(true);
  if (!writer.Transfer(d.doc, STEPControl_AsIs) || writer.Write(path.c_str()) != IFSelect_RetDone) {
    throw std::runtime_error("cannot write " + path);
  }
  Interface_Static::SetCVal("write.step.unit", "MM");
}

TDF_Label add_block_product(Doc &d) {
  TDF_Label label = d.product(block(1, 2, 3, 10, 20, 30), "BLOCK");
  XCAFDoc_DocumentTool::ColorTool(d.doc->Main())
      ->SetColor(label, Quantity_Color(1.0, 0.0, 0.0, Quantity_TOC_RGB), XCAFDoc_ColorGen);
  XCAFDoc_DocumentTool::LayerTool(d.doc->Main())->SetLayer(label, "PAINT");
  return label;
}

}  // namespace

void write_block_step(const std::string &path, const std::string &unit) {
  Doc d;
  TDF_Label label = add_block_product(d);
  // The writer takes validation properties as they stand: give them in the
  // file's unit, as a sending system would.
  const double mm = unit == "M" ? 1000.0 : unit == "INCH" ? 25.4 : 1.0;
  XCAFDoc_Volume::Set(label, 6000.0 / (mm * mm * mm));
  XCAFDoc_Area::Set(label, 2200.0 / (mm * mm));
  XCAFDoc_Centroid::Set(label, gp_Pnt(6 / mm, 12 / mm, 18 / mm));
  XCAFDoc_DocumentTool::MaterialTool(d.doc->Main())
      ->SetMaterial(label, new TCollection_HAsciiString("STEEL"),
                    new TCollection_HAsciiString("steel"), 7.85,
                    new TCollection_HAsciiString("density"),
                    new TCollection_HAsciiString("POSITIVE_RATIO_MEASURE"));
  write_step(d, path, unit);
}

void write_cylinder_step(const std::string &path) {
  Doc d;
  d.product(cylinder(5, 20), "CYLINDER");
  write_step(d, path, "MM");
}

void write_block_and_cylinder_iges(const std::string &path) {
  Doc d;
  add_block_product(d);
  TDF_Label cyl = d.product(cylinder(5, 20), "CYLINDER");
  XCAFDoc_DocumentTool::ColorTool(d.doc->Main())
      ->SetColor(cyl, Quantity_Color(0.0, 0.0, 0.9, Quantity_TOC_RGB), XCAFDoc_ColorGen);
  Interface_Static::SetIVal("write.iges.brep.mode", 1);
  IGESCAFControl_Writer writer;
  if (!writer.Transfer(d.doc) || !writer.Write(path.c_str())) {
    throw std::runtime_error("cannot write " + path);
  }
}

namespace {

gp_Trsf moved(double x, double y, double z) {
  gp_Trsf t;
  t.SetTranslation(gp_Vec(x, y, z));
  return t;
}

gp_Trsf turned_z_90_then_moved(double x, double y, double z) {
  gp_Trsf r;
  r.SetRotation(gp_Ax1(gp_Pnt(0, 0, 0), gp_Dir(0, 0, 1)), M_PI / 2);
  return moved(x, y, z) * r;
}

void name_component(const TDF_Label &component, const char *name) {
  TDataStd_Name::Set(component, name);
}

}  // namespace

void write_assembly_step(const std::string &path) {
  Doc d;
  TDF_Label pin = d.product(cylinder(2, 10), "PIN");
  TDF_Label plate = d.product(block(0, 0, 0, 40, 20, 5), "PLATE");
  TDF_Label sub = d.shapes->NewShape();
  TDataStd_Name::Set(sub, "SUB");
  name_component(d.shapes->AddComponent(sub, pin, TopLoc_Location(moved(5, 5, 5))), "PIN_A");
  name_component(d.shapes->AddComponent(sub, pin, TopLoc_Location(moved(15, 5, 5))), "PIN_B");
  TDF_Label top = d.shapes->NewShape();
  TDataStd_Name::Set(top, "TOP");
  name_component(d.shapes->AddComponent(top, plate, TopLoc_Location()), "PLATE_1");
  name_component(d.shapes->AddComponent(top, sub, TopLoc_Location(moved(0, 0, 10))), "SUB_UP");
  name_component(
      d.shapes->AddComponent(top, sub, TopLoc_Location(turned_z_90_then_moved(100, 0, 0))),
      "SUB_TURNED");
  d.shapes->UpdateAssemblies();
  write_step(d, path, "MM");
}

void write_many_instances_step(const std::string &path, int instances) {
  Doc d;
  TDF_Label brick = d.product(block(0, 0, 0, 8, 4, 3), "BRICK");
  TDF_Label top = d.shapes->NewShape();
  TDataStd_Name::Set(top, "WALL");
  for (int i = 0; i < instances; ++i)
    d.shapes->AddComponent(top, brick, TopLoc_Location(moved(10.0 * i, 0, 0)));
  d.shapes->UpdateAssemblies();
  write_step(d, path, "MM");
}

void write_block_and_face_brep(const std::string &path) {
  quiet();
  TopoDS_Compound compound;
  BRep_Builder builder;
  builder.MakeCompound(compound);
  builder.Add(compound, block(1, 2, 3, 10, 20, 30));
  builder.Add(
      compound,
      BRepBuilderAPI_MakeFace(gp_Pln(gp_Pnt(0, 0, 50), gp_Dir(0, 0, 1)), 0, 10, 0, 10).Shape());
  if (!BRepTools::Write(compound, path.c_str())) throw std::runtime_error("cannot write " + path);
}

}  // namespace exchange_fixtures

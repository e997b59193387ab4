// Products become parts (each once, however often it is placed), instances
// become components with their placement, and the solids, free shells and
// free faces of a product become its bodies.
#include "exchange/tree_builder.hpp"

#include <NCollection_DataMap.hxx>
#include <Quantity_Color.hxx>
#include <TColStd_HSequenceOfExtendedString.hxx>
#include <TCollection_AsciiString.hxx>
#include <TDF_LabelSequence.hxx>
#include <TDF_Tool.hxx>
#include <TDataStd_Name.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_ShapeMapHasher.hxx>
#include <TopoDS_Shape.hxx>
#include <XCAFDoc_Area.hxx>
#include <XCAFDoc_Centroid.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_LayerTool.hxx>
#include <XCAFDoc_MaterialTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <XCAFDoc_Volume.hxx>
#include <cmath>
#include <map>
#include <set>

#include "api/codes.hpp"
#include "exchange/kernel_solid.hpp"
#include "exchange/mapping.hpp"
#include "partfile/part_file.hpp"

namespace orvel::exchange {

namespace {

using namespace orvel::model;
using LabelOfShape = NCollection_DataMap<TopoDS_Shape, TDF_Label, TopTools_ShapeMapHasher>;

// Host texts are ISO-8859-1: a character beyond it becomes '?'.
std::string latin1_of(const TCollection_ExtendedString &text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.Length()));
  for (int i = 1; i <= text.Length(); ++i) {
    const Standard_ExtCharacter c = text.Value(i);
    out.push_back(c < 256 ? static_cast<char>(c) : '?');
  }
  return out;
}

std::string entry_of(const TDF_Label &label) {
  TCollection_AsciiString entry;
  TDF_Tool::Entry(label, entry);
  return entry.ToCString();
}

std::optional<std::string> name_of(const TDF_Label &label) {
  Handle(TDataStd_Name) name;
  if (label.IsNull() || !label.FindAttribute(TDataStd_Name::GetID(), name)) return std::nullopt;
  std::string text = latin1_of(name->Get());
  if (text.empty()) return std::nullopt;
  return text;
}

Attribute real_attribute(const std::string &title, double value) {
  Attribute a;
  a.title = title;
  a.value.type = ZK_ATTR_real;
  a.value.real = value;
  return a;
}

Attribute string_attribute(const std::string &title, const std::string &value) {
  Attribute a;
  a.title = title;
  a.value.type = ZK_ATTR_string;
  a.value.text = cut(value, partfile::kMaxAttributeString);
  return a;
}

// The geometric validation properties the sending system wrote for `label`,
// in millimetres; `mm` is the number of millimetres in the file's unit.
void add_validation(Object &object, const TDF_Label &label, double mm) {
  double value = 0.0;
  if (XCAFDoc_Volume::Get(label, value))
    object.attributes.push_back(real_attribute("VALIDATION_VOLUME", value * mm * mm * mm));
  if (XCAFDoc_Area::Get(label, value))
    object.attributes.push_back(real_attribute("VALIDATION_AREA", value * mm * mm));
  gp_Pnt centroid;
  if (XCAFDoc_Centroid::Get(label, centroid)) {
    object.attributes.push_back(real_attribute("VALIDATION_CENTROID_X", centroid.X()));
    object.attributes.push_back(real_attribute("VALIDATION_CENTROID_Y", centroid.Y()));
    object.attributes.push_back(real_attribute("VALIDATION_CENTROID_Z", centroid.Z()));
  }
}

// The rotation and translation of an instance; a scale factor the file may
// give is taken out, keeping a mirror.
void set_placement(Instance &instance, const gp_Trsf &t) {
  const double scale = std::fabs(t.ScaleFactor()) > 0.0 ? std::fabs(t.ScaleFactor()) : 1.0;
  const gp_XYZ move = t.TranslationPart();
  instance.origin = {move.X(), move.Y(), move.Z()};
  // Orientation rows are the component's axes: the columns of the rotation.
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) instance.orientation[j][i] = t.Value(i + 1, j + 1) / scale;
}

class TreeBuilder {
 public:
  TreeBuilder(const ReadDocument &read, const TreeNames &names) : read_(read), names_(names) {
    TDF_Label main = read.doc->Main();
    shapes_ = XCAFDoc_DocumentTool::ShapeTool(main);
    colors_ = XCAFDoc_DocumentTool::ColorTool(main);
    layers_ = XCAFDoc_DocumentTool::LayerTool(main);
    layer_numbers_ = LayerNumbers(layer_names());
  }

  ExchangeTree run() {
    TDF_LabelSequence free;
    shapes_->GetFreeShapes(free);
    if (free.Length() == 1) {
      tree_.top = product(free.Value(1), true);
    } else if (free.Length() > 1) {
      tree_.top = gathering(free);
    }
    if (!tree_.top || bodies_ == 0) {
      throw partfile::LoadError(
          kPartFileInvalid, names_.file, "/",
          "the " + names_.format + " file holds no solid, shell or face to load");
    }
    return std::move(tree_);
  }

 private:
  std::unique_ptr<Part> new_part(bool top, const std::string &entry,
                                 const std::optional<std::string> &name) {
    auto part = std::make_unique<Part>();
    part->file_path = names_.file;
    part->units = ZK_PART_METRIC;
    part->exchange_format = names_.format;
    if (top) {
      part->full_name = names_.full_name;
      part->key = names_.key;
    } else {
      part->full_name = cut(names_.full_name + "#" + name.value_or(entry), ZK_MAX_FSPEC_SIZE);
      part->key = names_.key + "#" + entry;
    }
    if (name) part->description = *name;
    for (const auto &[title, value] : read_.header)
      part->attributes.push_back(string_attribute(title, value));
    return part;
  }

  // Several free shapes: a top part that places each at its own position.
  Part *gathering(const TDF_LabelSequence &free) {
    std::unique_ptr<Part> part = new_part(true, "0", std::nullopt);
    for (int i = 1; i <= free.Length(); ++i) {
      const TDF_Label &label = free.Value(i);
      TDF_Label referred = label;
      if (shapes_->IsReference(label)) shapes_->GetReferredShape(label, referred);
      add_component(*part, label, referred, shapes_->GetLocation(label).Transformation());
    }
    return keep(std::move(part));
  }

  Part *product(const TDF_Label &label, bool top) {
    const std::string entry = entry_of(label);
    if (auto it = products_.find(entry); it != products_.end()) return it->second;
    std::unique_ptr<Part> part = new_part(top, entry, name_of(label));
    add_validation(*part, label, read_.file_unit_mm);
    if (shapes_->IsAssembly(label)) {
      TDF_LabelSequence components;
      shapes_->GetComponents(label, components, false);
      for (int i = 1; i <= components.Length(); ++i) {
        const TDF_Label &component = components.Value(i);
        TDF_Label referred;
        if (!shapes_->GetReferredShape(component, referred)) continue;
        add_component(*part, component, referred, shapes_->GetLocation(component).Transformation());
      }
    } else {
      add_bodies(*part, label);
    }
    Part *raw = keep(std::move(part));
    products_.emplace(entry, raw);
    return raw;
  }

  Part *keep(std::unique_ptr<Part> part) {
    Part *raw = part.get();
    tree_.parts.push_back(std::move(part));
    return raw;
  }

  void add_component(Part &assembly, const TDF_Label &label, const TDF_Label &referred,
                     const gp_Trsf &placement) {
    Part *child = product(referred, false);
    auto instance = std::make_unique<Instance>();
    // The component's label in the file's document names it for good.
    instance->id = entry_of(label);
    instance->handle = instance->id;
    instance->file = child->full_name;
    instance->child = child;
    instance->layer = 1;
    std::optional<std::string> name = name_of(label);
    if (!name) name = name_of(referred);
    instance->instance_name = cut(name.value_or(""), partfile::kMaxInstanceName);
    if (name) instance->name = cut(*name, partfile::kMaxObjectName);
    set_placement(*instance, placement);
    add_validation(*instance, label, read_.file_unit_mm);
    assembly.add(std::move(instance));
  }

  void add_bodies(Part &part, const TDF_Label &label) {
    const TopoDS_Shape shape = shapes_->GetShape(label);
    LabelOfShape sub_labels;
    TDF_LabelSequence subs;
    shapes_->GetSubShapes(label, subs);
    for (int i = 1; i <= subs.Length(); ++i)
      sub_labels.Bind(shapes_->GetShape(subs.Value(i)), subs.Value(i));
    auto label_of = [&](const TopoDS_Shape &s) {
      if (const TDF_Label *found = sub_labels.Seek(s)) return *found;
      return s.IsSame(shape) ? label : TDF_Label();
    };
    for (TopExp_Explorer e(shape, TopAbs_SOLID); e.More(); e.Next())
      add_body(part, e.Current(), label_of(e.Current()), label, true);
    for (TopExp_Explorer e(shape, TopAbs_SHELL, TopAbs_SOLID); e.More(); e.Next())
      add_body(part, e.Current(), label_of(e.Current()), label, false);
    for (TopExp_Explorer e(shape, TopAbs_FACE, TopAbs_SHELL); e.More(); e.Next())
      add_body(part, e.Current(), label_of(e.Current()), label, false);
  }

  // A body: its own label's name, colour and layer, else the product's
  // colour and layer; the material density of its label or the product's.
  void add_body(Part &part, const TopoDS_Shape &shape, const TDF_Label &own,
                const TDF_Label &product_label, bool solid) {
    auto body = std::make_unique<Body>();
    body->id = "b" + std::to_string(++objects_);
    body->handle = body->id;
    body->body_type = solid ? ZK_MODL_SOLID_BODY : ZK_MODL_SHEET_BODY;
    body->shape = geom::KernelShape{make_kernel_solid(shape, solid)};
    if (std::optional<std::string> name = name_of(own))
      body->name = cut(*name, partfile::kMaxObjectName);
    body->color = colour_of(own);
    if (body->color == 0) body->color = colour_of(product_label);
    body->layer = layer_of(own);
    if (body->layer == 0) body->layer = layer_of(product_label);
    if (body->layer == 0) body->layer = 1;
    double density = own.IsNull() ? 0.0 : XCAFDoc_MaterialTool::GetDensityForShape(own);
    if (!(density > 0.0)) density = XCAFDoc_MaterialTool::GetDensityForShape(product_label);
    if (density > 0.0 && std::isfinite(density)) body->density = density_from_file(density);
    ++bodies_;
    part.add(std::move(body));
  }

  int colour_of(const TDF_Label &label) {
    if (label.IsNull()) return 0;
    Quantity_Color colour;
    for (XCAFDoc_ColorType type : {XCAFDoc_ColorSurf, XCAFDoc_ColorGen, XCAFDoc_ColorCurv}) {
      if (colors_->GetColor(label, type, colour)) {
        double r = 0, g = 0, b = 0;
        colour.Values(r, g, b, Quantity_TOC_sRGB);
        return colour_number(r, g, b);
      }
    }
    return 0;
  }

  int layer_of(const TDF_Label &label) {
    if (label.IsNull()) return 0;
    Handle(TColStd_HSequenceOfExtendedString) names;
    if (!layers_->GetLayers(label, names) || names.IsNull() || names->Length() == 0) return 0;
    return layer_numbers_.number(latin1_of(names->Value(1)));
  }

  // Every layer name of the document, in the order of its layer table.
  std::vector<std::string> layer_names() const {
    std::vector<std::string> names;
    TDF_LabelSequence labels;
    layers_->GetLayerLabels(labels);
    for (int i = 1; i <= labels.Length(); ++i) {
      TCollection_ExtendedString name;
      if (layers_->GetLayer(labels.Value(i), name)) names.push_back(latin1_of(name));
    }
    return names;
  }

  const ReadDocument &read_;
  const TreeNames &names_;
  Handle(XCAFDoc_ShapeTool) shapes_;
  Handle(XCAFDoc_ColorTool) colors_;
  Handle(XCAFDoc_LayerTool) layers_;
  ExchangeTree tree_;
  std::map<std::string, Part *> products_;
  LayerNumbers layer_numbers_;
  int objects_ = 0;
  int bodies_ = 0;
};

}  // namespace

ExchangeTree build_tree(const ReadDocument &read, const TreeNames &names) {
  return TreeBuilder(read, names).run();
}

}  // namespace orvel::exchange

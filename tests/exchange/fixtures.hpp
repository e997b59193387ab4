// Known shapes and assemblies built with the modelling kernel and written as
// STEP, IGES and BREP files, for the exchange tests and the benchmark.
#pragma once

#include <string>

namespace exchange_fixtures {

// A 10 x 20 x 30 block with its corner at (1, 2, 3), product "BLOCK", red,
// on layer "PAINT", with
// validation properties and a material of 7.85 g/cm^3. `unit` is the length
// unit written ("MM", "M", "INCH"); the geometry is the same in every unit.
void write_block_step(const std::string &path, const std::string &unit = "MM");

// The same block and a cylinder of radius 5 and height 20 standing on the
// origin along Z, two products of one file, written as IGES.
void write_block_and_cylinder_iges(const std::string &path);

// A cylinder of radius 5 and height 20 standing on the origin along Z.
void write_cylinder_step(const std::string &path);

// Two levels: TOP holds PLATE (a 40 x 20 x 5 block at the origin) and SUB
// twice, once moved by (0, 0, 10) and once turned 90 degrees about Z and
// moved by (100, 0, 0); SUB holds PIN (a cylinder of radius 2 and height 10
// on the origin along Z) twice, at (5, 5, 5) and (15, 5, 5).
void write_assembly_step(const std::string &path);

// A flat assembly of `instances` placements of one small block product,
// each moved along X; for the benchmark.
void write_many_instances_step(const std::string &path, int instances);

// A block (solid) and a free square face 10 x 10 (sheet) in one BREP file.
void write_block_and_face_brep(const std::string &path);

}  // namespace exchange_fixtures

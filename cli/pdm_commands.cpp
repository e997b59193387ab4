// The `pdm` command: manages a store from the command line and from a
// committed JSON description, so that sample stores are built, never kept.
#include "pdm_commands.hpp"

#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;

namespace orvel::cli {

namespace {

struct DatasetEntry {
  pdm::EncodedName name;
  std::string part_file;
};

struct RevisionEntry {
  std::string revision;
  std::vector<DatasetEntry> datasets;
};

struct ItemEntry {
  std::string part_number;
  std::string description;
  std::vector<RevisionEntry> revisions;
};

const json &member(const json &object, const char *key, const std::string &where) {
  if (!object.is_object()) throw std::runtime_error(where + ": expected an object");
  auto it = object.find(key);
  if (it == object.end()) throw std::runtime_error(where + "/" + key + ": missing");
  return *it;
}

std::string text_member(const json &object, const char *key, const std::string &where,
                        bool optional) {
  if (optional && object.find(key) == object.end()) return "";
  const json &value = member(object, key, where);
  if (!value.is_string()) throw std::runtime_error(where + "/" + key + ": expected a string");
  return value.get<std::string>();
}

const json &array_member(const json &object, const char *key, const std::string &where) {
  const json &value = member(object, key, where);
  if (!value.is_array()) throw std::runtime_error(where + "/" + key + ": expected an array");
  return value;
}

std::vector<ItemEntry> read_items(const json &description, const fs::path &base_dir,
                                  const fs::path &store_dir) {
  std::vector<ItemEntry> items;
  const json &item_list = array_member(description, "items", "");
  for (size_t i = 0; i < item_list.size(); ++i) {
    std::string at = "/items/" + std::to_string(i);
    ItemEntry item{text_member(item_list[i], "part_number", at, false),
                   text_member(item_list[i], "description", at, true),
                   {}};
    const json &revisions = array_member(item_list[i], "revisions", at);
    for (size_t r = 0; r < revisions.size(); ++r) {
      std::string rat = at + "/revisions/" + std::to_string(r);
      RevisionEntry revision{text_member(revisions[r], "revision", rat, false), {}};
      const json &datasets = array_member(revisions[r], "datasets", rat);
      for (size_t d = 0; d < datasets.size(); ++d) {
        std::string dat = rat + "/datasets/" + std::to_string(d);
        pdm::EncodedName name{item.part_number, revision.revision,
                              text_member(datasets[d], "file_type", dat, true),
                              text_member(datasets[d], "file_name", dat, true)};
        fs::path file = text_member(datasets[d], "part_file", dat, false);
        if (file.is_relative()) file = base_dir / file;
        revision.datasets.push_back({name, store_relative(file, store_dir)});
      }
      item.revisions.push_back(std::move(revision));
    }
    items.push_back(std::move(item));
  }
  return items;
}

std::unique_ptr<pdm::Store> open_store(const std::string &path, bool create) {
  return pdm::Store::open(path, create);
}

fs::path store_directory(const std::string &store_path) {
  return fs::absolute(store_path).parent_path();
}

}  // namespace

std::string store_relative(const fs::path &part_file, const fs::path &store_dir) {
  fs::path absolute = fs::absolute(part_file).lexically_normal();
  fs::path relative = absolute.lexically_relative(fs::absolute(store_dir).lexically_normal());
  if (relative.empty()) return absolute.string();
  return relative.string();
}

void load_description(pdm::Store &store, const json &description, const fs::path &base_dir,
                      const fs::path &store_dir) {
  std::vector<ItemEntry> items = read_items(description, base_dir, store_dir);
  store.transaction([&] {
    for (const ItemEntry &item : items) {
      store.add_item(item.part_number, item.description);
      for (const RevisionEntry &revision : item.revisions) {
        store.add_revision(item.part_number, revision.revision);
        for (const DatasetEntry &dataset : revision.datasets) {
          store.add_dataset(item.part_number, revision.revision, dataset.name.file_type,
                            dataset.name.file_name, dataset.part_file);
        }
      }
    }
  });
}

void add_pdm_command(CLI::App &app) {
  CLI::App *pdm = app.add_subcommand("pdm", "Manage a PDM store (items, revisions, datasets)");
  pdm->require_subcommand(1);

  // The option values live as long as the command line object.
  struct Args {
    std::string store, number, description, revision, type, name, file;
  };
  auto args = std::make_shared<Args>();

  CLI::App *create = pdm->add_subcommand("create", "Create an empty store");
  create->add_option("STORE", args->store, "the store's database file")->required();
  create->callback([args] {
    if (fs::exists(args->store)) throw std::runtime_error(args->store + " exists already");
    open_store(args->store, true);
  });

  CLI::App *item = pdm->add_subcommand("add-item", "Add an item (a part number)");
  item->add_option("STORE", args->store, "the store's database file")->required();
  item->add_option("NUMBER", args->number, "the part number")->required();
  item->add_option("DESCRIPTION", args->description, "the item's description");
  item->callback(
      [args] { open_store(args->store, false)->add_item(args->number, args->description); });

  CLI::App *rev = pdm->add_subcommand(
      "add-revision", "Add a revision to an item; the revision added last is the configured one");
  rev->add_option("STORE", args->store, "the store's database file")->required();
  rev->add_option("NUMBER", args->number, "the part number")->required();
  rev->add_option("REVISION", args->revision, "the revision")->required();
  rev->callback(
      [args] { open_store(args->store, false)->add_revision(args->number, args->revision); });

  CLI::App *dataset = pdm->add_subcommand(
      "add-dataset", "Map a dataset of a revision to a part file (no type and name: the master)");
  dataset->add_option("STORE", args->store, "the store's database file")->required();
  dataset->add_option("NUMBER", args->number, "the part number")->required();
  dataset->add_option("REVISION", args->revision, "the revision")->required();
  dataset->add_option("PART_FILE", args->file, "the part file (relative to the current directory)")
      ->required();
  dataset->add_option("--type", args->type, "the dataset's file type");
  dataset->add_option("--name", args->name, "the dataset's file name");
  dataset->callback([args] {
    open_store(args->store, false)
        ->add_dataset(args->number, args->revision, args->type, args->name,
                      store_relative(args->file, store_directory(args->store)));
  });

  CLI::App *list = pdm->add_subcommand("list", "List every dataset: encoded name, TAB, part file");
  list->add_option("STORE", args->store, "the store's database file")->required();
  list->callback([args] {
    for (const auto &[encoded, file] : open_store(args->store, false)->datasets()) {
      std::cout << encoded << '\t' << file << '\n';
    }
  });

  CLI::App *load = pdm->add_subcommand(
      "load", "Create the store if needed and add the contents of a JSON description");
  load->add_option("STORE", args->store, "the store's database file")->required();
  load->add_option("DESCRIPTION", args->file, "the JSON description")->required();
  load->callback([args] {
    std::ifstream in(args->file);
    if (!in) throw std::runtime_error("cannot read " + args->file);
    json description;
    try {
      description = json::parse(in);
    } catch (const json::exception &e) {
      throw std::runtime_error(args->file + ": not JSON: " + e.what());
    }
    auto store = open_store(args->store, true);
    try {
      load_description(*store, description, fs::absolute(args->file).parent_path(),
                       store_directory(args->store));
    } catch (const std::exception &e) {
      throw std::runtime_error(args->file + ": " + e.what());
    }
  });
}

}  // namespace orvel::cli

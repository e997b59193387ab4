// Loading a part and its components from part files.
#include "partfile/loader.hpp"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

#include "api/codes.hpp"
#include "exchange/exchange.hpp"
#include "partfile/part_file.hpp"

namespace orvel::partfile {

namespace fs = std::filesystem;
using namespace orvel::model;

std::string file_key(const std::string &path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) return normal_name(path);
  fs::path canonical = fs::weakly_canonical(absolute, ec);
  return (ec ? absolute.lexically_normal() : canonical).generic_string();
}

std::string normal_name(const std::string &path) {
  if (path.empty()) return path;
  return fs::path(path).lexically_normal().generic_string();
}

std::vector<std::string> component_candidates(const std::string &written,
                                              const std::string &assembly_file,
                                              const TreeOptions &options) {
  fs::path file(written);
  fs::path relative = file.is_relative() ? file : file.filename();
  fs::path beside = fs::path(assembly_file).parent_path() / relative;
  std::vector<std::string> result;
  switch (options.load_options) {
    case 2:  // as saved
      result.push_back(normal_name(written));
      break;
    case 1:  // search directories, then beside the assembly
      for (const std::string &dir : options.search_dirs) {
        result.push_back(normal_name((fs::path(dir) / relative).string()));
      }
      result.push_back(normal_name(beside.string()));
      break;
    default:  // from the assembly's directory
      result.push_back(normal_name(beside.string()));
      break;
  }
  return result;
}

namespace {

bool is_file(const std::string &path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

class TreeLoader {
 public:
  TreeLoader(const TreeOptions &options,
             const std::function<Part *(const std::string &)> &find_open)
      : options_(options), find_open_(find_open) {}

  LoadedTree run(const std::string &full_name, const std::string &file) {
    if (!is_file(file)) throw LoadError(kPartFileMissing, file, "/", "no such part file");
    tree_.top = load(full_name, file);
    return std::move(tree_);
  }

 private:
  Part *load(const std::string &full_name, const std::string &file) {
    std::string key = file_key(file);
    if (auto it = staged_.find(key); it != staged_.end()) return it->second;
    if (Part *open = find_open_(key)) return open;
    if (!exchange::format_of(file).empty()) return load_exchange(full_name, file, key);
    std::unique_ptr<Part> part = read_part(file);
    part->full_name = full_name;
    part->file_path = file;
    part->key = key;
    stack_.push_back(key);
    const std::vector<Object *> &objects = part->file_objects();
    for (size_t i = 0; i < objects.size(); ++i) {
      if (objects[i]->type != ZK_occ_instance_type) continue;
      load_component(*part, static_cast<Instance &>(*objects[i]), "/objects/" + std::to_string(i));
    }
    stack_.pop_back();
    Part *raw = part.get();
    staged_.emplace(key, raw);
    tree_.parts.push_back(std::move(part));
    return raw;
  }

  // An exchange file brings its own products as parts, components first.
  Part *load_exchange(const std::string &full_name, const std::string &file,
                      const std::string &key) {
    exchange::ExchangeTree read = exchange::read_exchange(full_name, file, key);
    if (!read.warning.empty()) tree_.warnings.push_back(file + ": " + read.warning);
    staged_.emplace(key, read.top);
    for (auto &part : read.parts) tree_.parts.push_back(std::move(part));
    return read.top;
  }

  void load_component(Part &assembly, Instance &instance, const std::string &path) {
    if (options_.load_components == 0) return;  // ZK_ASSEM_dont_load_components
    bool abort = options_.failure_action == 0;
    try {
      Located located = locate(assembly, instance, path);
      const std::string &file = located.file;
      if (file.size() > ZK_MAX_FSPEC_SIZE && !located.managed) {
        throw LoadError(kPartNameTooLong, assembly.file_path, path + "/part",
                        "component part name of " + std::to_string(file.size()) +
                            " characters is longer than " + std::to_string(ZK_MAX_FSPEC_SIZE));
      }
      std::string key = file_key(file);
      if (std::find(stack_.begin(), stack_.end(), key) != stack_.end()) {
        throw LoadError(kComponentCycle, assembly.file_path, path + "/part",
                        "component \"" + instance.file + "\" contains the assembly itself");
      }
      Part *child = load(located.managed ? instance.file : file, file);
      check_reference_set(assembly, instance, *child, path);
      instance.child = child;
    } catch (const LoadError &e) {
      if (abort || e.code() == kComponentCycle) throw;
      instance.load_failure = e.what();
      // Count each part file once, however many components use it.
      std::string file = component_candidates(instance.file, assembly.file_path, options_).front();
      if (failed_.insert(file_key(file)).second) ++tree_.failed_parts;
    }
  }

  struct Located {
    std::string file;
    bool managed = false;  // named by a managed name
  };

  // The file of a component: from the managed store for a managed name,
  // else the first candidate the load options give that exists.
  Located locate(const Part &assembly, const Instance &instance, const std::string &path) {
    if (options_.managed_file) {
      bool managed = false;
      std::optional<std::string> file = options_.managed_file(instance.file, &managed);
      if (managed) {
        if (!file) {
          throw LoadError(kManagedPartUnknown, assembly.file_path, path + "/part",
                          "the store has no part \"" + instance.file + "\"");
        }
        return {*file, true};
      }
    }
    std::vector<std::string> tried =
        component_candidates(instance.file, assembly.file_path, options_);
    auto found = std::find_if(tried.begin(), tried.end(), is_file);
    if (found == tried.end()) {
      std::string list;
      for (const std::string &t : tried) list += (list.empty() ? "" : ", ") + t;
      throw LoadError(
          kComponentMissing, assembly.file_path, path + "/part",
          "component part file \"" + instance.file + "\" not found (tried " + list + ")");
    }
    return {*found, false};
  }

  void check_reference_set(const Part &assembly, const Instance &instance, const Part &child,
                           const std::string &path) {
    if (instance.shows_entire_part()) return;
    const ObjectList *sets = child.of_type(ZK_reference_set_type);
    for (Object *o = sets ? sets->first() : nullptr; o; o = sets->next(o)) {
      if (o->name && *o->name == instance.refset_name) return;
    }
    throw LoadError(kPartFileInvalid, assembly.file_path, path + "/reference_set",
                    "no reference set \"" + instance.refset_name + "\" in " + child.full_name);
  }

  const TreeOptions &options_;
  const std::function<Part *(const std::string &)> &find_open_;
  LoadedTree tree_;
  std::unordered_map<std::string, Part *> staged_;
  std::vector<std::string> stack_;
  std::unordered_set<std::string> failed_;  // part files that failed to load
};

}  // namespace

LoadedTree load_tree(const std::string &full_name, const std::string &file,
                     const TreeOptions &options,
                     const std::function<Part *(const std::string &)> &find_open) {
  return TreeLoader(options, find_open).run(full_name, file);
}

}  // namespace orvel::partfile

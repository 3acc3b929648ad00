#include "CatalogStore.h"

#include "CATGetEnv.h"
#include "KeyValueFile.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>

#ifndef ELMHOST_DEFAULT_CATALOG_DIRS
#define ELMHOST_DEFAULT_CATALOG_DIRS ""
#endif
#ifndef ELMHOST_LIB_TO_RESOURCES
#define ELMHOST_LIB_TO_RESOURCES ""
#endif

namespace elmhost {

namespace {

struct ParsedFile {
  long long size = -1;
  long long mtimeNs = -1;
  std::map<std::string, std::string> entries;
};

// Keyed by the file's path: a catalog of the same name in another directory
// is another entry. Host catalogs are read on the user-interface thread only.
std::map<std::string, ParsedFile>& cache() {
  static std::map<std::string, ParsedFile> c;
  return c;
}

std::vector<std::string> splitPath(const std::string& list) {
  std::vector<std::string> dirs;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) dirs.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return dirs;
}

const ParsedFile* load(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  long long mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  long long size = static_cast<long long>(st.st_size);
  ParsedFile& file = cache()[path];
  if (file.size == size && file.mtimeNs == mtimeNs) return &file;
  file.entries.clear();
  bool opened = KeyValueFile::Read(path, file.entries, [&path](int line, const std::string& reason) {
    std::fprintf(stderr, "%s:%d: %s (line skipped)\n", path.c_str(), line, reason.c_str());
  });
  if (!opened) {
    cache().erase(path);
    return nullptr;
  }
  file.size = size;
  file.mtimeNs = mtimeNs;
  return &file;
}

}  // namespace

std::vector<std::string> CatalogStore::Directories() {
  const char* path = CATGetEnv("ELMHOST_CATALOG_PATH");
  if (path && *path) return splitPath(path);
  // The installed resources beside this library come first, wherever the
  // install went; then those of the configured prefix and of the sources.
  static const std::vector<std::string> defaults = [] {
    std::vector<std::string> dirs;
    Dl_info info{};
    if (*ELMHOST_LIB_TO_RESOURCES && dladdr(reinterpret_cast<void*>(&CatalogStore::Directories), &info) &&
        info.dli_fname) {
      std::string library = info.dli_fname;
      const std::size_t slash = library.rfind('/');
      const std::string base = (slash == std::string::npos ? std::string(".") : library.substr(0, slash)) + "/" +
                               ELMHOST_LIB_TO_RESOURCES;
      dirs = {base + "/msg", base + "/rsc"};
    }
    for (std::string& dir : splitPath(ELMHOST_DEFAULT_CATALOG_DIRS)) dirs.push_back(std::move(dir));
    return dirs;
  }();
  return defaults;
}

bool CatalogStore::Lookup(const std::string& catalog, const std::string& extension, const std::string& key,
                          std::string& text) {
  // A name with a path separator would reach files outside the catalog directories.
  if (catalog.empty() || key.empty() || catalog.find('/') != std::string::npos) return false;
  for (const std::string& dir : Directories()) {
    const ParsedFile* file = load(dir + "/" + catalog + extension);
    if (!file) continue;
    auto it = file->entries.find(key);
    if (it != file->entries.end()) {
      text = it->second;
      return true;
    }
  }
  return false;
}

std::string CatalogStore::Substitute(const std::string& text, const std::vector<std::string>& parameters) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '/' && i + 2 < text.size() && text[i + 1] == 'P' && text[i + 2] >= '1' && text[i + 2] <= '9') {
      std::size_t n = static_cast<std::size_t>(text[i + 2] - '1');
      if (n < parameters.size()) {
        out += parameters[n];
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace elmhost

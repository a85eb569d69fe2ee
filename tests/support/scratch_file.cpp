// Files for tests in the system's temporary folder, with names no other run uses.
#include "support/scratch_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace pt::test {

scratch_file::scratch_file(std::string_view name) {
  static std::mt19937_64 numbers{std::random_device{}()};
  std::string unique = "orto-" + std::string(name) + "-" + std::to_string(numbers());
  path_ = (std::filesystem::temp_directory_path() / unique).string();
}

scratch_file::~scratch_file() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::string scratch_file::read() const {
  std::ifstream in(path_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void scratch_file::write(std::string_view bytes) const {
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

deep_path::deep_path(std::string_view file_name, std::size_t length) : root_("deep") {
  std::filesystem::path folder = root_.path();
  while ((folder / file_name).string().size() < length)
    folder /= std::string(40, 'd');
  std::filesystem::create_directories(folder);
  path_ = (folder / file_name).string();
}

deep_path::~deep_path() {
  std::error_code ignored;
  for (std::filesystem::path p = path_; p.string().size() > root_.path().size();
       p = p.parent_path())
    std::filesystem::remove(p, ignored);
}

}  // namespace pt::test

#include "collectors/products/product_collector.h"

#include "platform/file_io.h"

namespace velto {

TTSQNGetInfo::~TTSQNGetInfo() {
  // One file that cannot be removed must not keep the others.
  for (const auto& path : reg_export_files_)
    if (FileExists(path)) RemoveFile(path);
}

}  // namespace velto

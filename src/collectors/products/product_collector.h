// TTSQNGetInfo, the product collector: gathers the vendor products' files,
// registry exports and facts when it is created, and owns ZipFileList, the
// archive's file list.
#pragma once

#include <vector>

#include "app/report_pipeline.h"
#include "platform/text.h"

namespace velto {

class TTSQNGetInfo : public ProductCollector {
 public:
  // Collecting of the products' own files is added with the product
  // collector's steps; until then the list starts empty and the report run
  // adds the working folder and the other collectors' files to it.
  TTSQNGetInfo() = default;
  // Removes the registry export files this collector wrote into the temporary folder.
  ~TTSQNGetInfo() override;

  std::vector<UString>& ZipFileList() override { return zip_file_list_; }

 private:
  std::vector<UString> zip_file_list_;
  std::vector<UString> reg_export_files_;
};

}  // namespace velto

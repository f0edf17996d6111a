// The files of a whole line list: numbered once, every figure checked against its field before
// any file is written, then the ExoMol files, NAME.par and, on request, NAME.csv.
#pragma once

#include <cstdint>
#include <string>

#include "props/linelist_blocks.h"
#include "props/linelist_hitran.h"

namespace velk::props {

struct ListFileOptions {
  int32_t tmax = 5000;  // NAME.pf from 1 K to tmax
  int threads = 1;      // for the partition function
  HitranOptions hitran;
  bool par = true;   // NAME.par
  bool csv = false;  // NAME.csv, at hitran.temperature
};

void write_list_files(const SolvedList& solved, const std::string& name,
                      const ListFileOptions& files);

}  // namespace velk::props

// The level file of a potential state: six header lines, then one line per listed level in
// layout A, or in layout B (marked "   res.", with the tunnelling figure, Umax and Ulim) for a
// quasi-bound level above Ulim.
//
// Layout A: (I5,I4,I4,F13.5,I2,F11.4,I3,F13.5,E10.2,I5,I7,I3,I4), 84 columns: iline, v, J, E,
// Par, delE, 10·mass_index, Ein, Dcor, kleft, krigth, kturn, node.
// The header names twelve columns for thirteen fields ("kleft-krigth" stands over two) and spells
// "krigth" as readers of these files expect.
#pragma once

#include <memory>

#include "io/output_file.h"
#include "solver/level_record.h"

namespace velk {

class LevelFileWriter : public LevelSink {
 public:
  LevelFileWriter() = default;
  // Opens request.levelfile (replacing what it held) and writes the header.
  void begin(const LevelTableRequest& request) override;
  void level(const LevelRecord& record) override;
  // Closes the file; a failed write is reported here.
  void end() override;

 private:
  std::unique_ptr<OutputFile> out_;
  int64_t ic_ = 0;
};

}  // namespace velk

#include "run/level_file_writer.h"

#include <string>

#include "io/formatted_output.h"
#include "io/level_file.h"

namespace velk {

void LevelFileWriter::begin(const LevelTableRequest& request) {
  out_ = std::make_unique<OutputFile>(request.levelfile);
  ic_ = int64_t{10} * request.mass_index;
  OutputFile& out = *out_;
  out.line(format_line("(I5,' !number of levels')",
                       {level_count(request.v.first, request.v.last, request.J.first,
                                    request.J.last, request.Par.first, request.Par.last)}));
  out.line(FreeLine() << "Potential File:  " << padded_name(request.curve.name));
  out.line(FreeLine() << "Energ. data:     " << padded_name(request.levelfile));
  out.line(FreeLine() << std::string(45, '-'));
  out.line(FreeLine() << "iline,nv,Jline,Eout,Par,delE,ic,Ein,Dcor,kleft-krigth,kturn,node");
  out.line(format_line("(5I3,' !levels to be used')",
                       {int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}}));
}

void LevelFileWriter::level(const LevelRecord& l) {
  const SolverResults& r = l.results;
  if (!l.quasi_bound) {
    out_->line(format_line(
        "(I5,I4,I4,F13.5,I2,F11.4,I3,F13.5,E10.2,I5,I7,I3,I4)",
        {l.iline, int64_t{l.v}, int64_t{l.J}, l.E, int64_t{l.Par}, l.delE, ic_, l.Ein, r.Dcor,
         int64_t{r.kleft}, int64_t{r.krigth}, int64_t{r.kturn}, int64_t{r.node}}));
  } else {
    out_->line(format_line(
        "(I5,I4,I4,F13.5,I2,F11.4,I3,F13.5,E10.2,I5,'   res.',I3,I4,E10.2,F13.5,F13.5)",
        {l.iline, int64_t{l.v}, int64_t{l.J}, l.E, int64_t{l.Par}, l.delE, ic_, l.Ein, r.Dcor,
         int64_t{r.kleft}, int64_t{r.kturn}, int64_t{r.node}, l.tunnel, l.Umax, l.Ulim}));
  }
}

void LevelFileWriter::end() {
  out_->close();
  out_.reset();
}

}  // namespace velk

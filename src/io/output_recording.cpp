#include "io/output_recording.h"

namespace velk {
namespace {

thread_local OutputRecording* active_recording = nullptr;

}  // namespace

OutputRecording::OutputRecording() : outer_(active_recording) {
  active_recording = this;
}

OutputRecording::~OutputRecording() {
  active_recording = outer_;
}

OutputRecording* OutputRecording::active() {
  return active_recording;
}

}  // namespace velk

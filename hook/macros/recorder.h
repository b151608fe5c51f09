// The macro recorder of the hooks: turns key and mouse events into 24-byte
// event records for the resident program, keeps the program's own synthesised
// keys out (the suspension count), and lets Pause/Break stop recording and
// playback from any application.
//
// Reached only through the trigger handler's recording calls, which it makes
// only while recording or playing: an event of a desktop that is not recording
// never gets here.
#pragma once

#include <cstdint>

#include "quillo_records.h"
#include "trigger.h"  // KeyEvent, MouseEvent

namespace quillo::hook {

constexpr uint8_t kVkPause = 0x13;

// The recording fields of the shared block, read and written in place: the
// Pause key clears the flags for every process at once.
struct RecorderFields {
  int* recording;         // g_bRecording
  int* playing;           // g_bPlaying
  int* recSuspend;        // g_nRecSuspend
  const int* screenCx;    // g_nScreenCx
  const int* screenCy;    // g_nScreenCy
  const int* recKey;      // g_bRecKey
  const int* recMouse;    // g_bRecMouse
  const int* cutMouseMove;  // g_bCutMouseMove
};

class RecorderHost {
 public:
  // Hands one record to the resident window (WM_COPYDATA, bounded wait).
  virtual void SendRecord(const EventRecord& record) noexcept = 0;
  virtual uint32_t TickCount() noexcept = 0;
  virtual void Beep() noexcept = 0;
  // Posts the stop command to the resident window.
  virtual void PostStop() noexcept = 0;

 protected:
  ~RecorderHost() = default;
};

// MulDiv(pixel, 65536, extent): rounded to the nearest, halves away from zero;
// -1 when the extent is 0 or the result does not fit, as MulDiv answers.
int32_t ScaleToAbsolute(int32_t pixel, int32_t extent) noexcept;

// The mouse-event flags of a mouse message (1 move, 2/4 left down/up, 8/16
// right down/up), 0 for a message that is not recorded.
uint32_t MouseFlagsOf(uint32_t message) noexcept;

// A key event with a non-zero virtual key while recording.
void RecordKey(const KeyEvent& event, const RecorderFields& fields, RecorderHost& host) noexcept;
// Any key event while playing.
void CheckPauseWhilePlaying(const KeyEvent& event, const RecorderFields& fields, RecorderHost& host) noexcept;
// A mouse event while recording with the mouse switched on.
void RecordMouse(const MouseEvent& event, const RecorderFields& fields, RecorderHost& host) noexcept;

}  // namespace quillo::hook

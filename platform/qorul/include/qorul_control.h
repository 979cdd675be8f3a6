// Controls of the utility library that hosts and tests use: the clock, the profile root,
// fault injection on the by-number file family, and the reset of library-wide state.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace qorul {

// ---- Clock. By default the wall clock; a driven clock stands still until advanced.
void setClock(std::time_t localSeconds);  // drive the clock: "now" is this local time
void advanceClock(long seconds);
void useWallClock();
std::time_t clockNow();                   // seconds, local time as a time_t of the UTC calendar

// ---- Profile. Forget the profile root so that the next use reads QORFAX_HOME again.
void resetProfile();
// Sets the profile root explicitly (tests); the directory is created with defaults.
int16_t setProfileRoot(const std::string& dir);

// ---- Fault injection for UL_seek, UL_read and UL_write (the record store's I/O).
enum class FaultOp { Seek, Read, Write, Any };
// Make the n-th call (counting from 1 after this call) of op fail; 0 disarms.
void failNth(FaultOp op, long n);
// Calls of each kind since the last failNth or resetFaults.
long faultCalls(FaultOp op);
void resetFaults();
// Crash mode: the n-th change of the file family (a write, a cut, a create, a delete, a link;
// counted from 1 after this call) and every change and sync after it do nothing and report
// failure, as if the process had been killed at that moment: the files stay as they were.
// 0 disarms. resetFaults ends it too.
void crashAt(long n);
bool crashed();
// Changes made since the last crashAt or resetFaults.
long changeCalls();
// Tests: UL_sync and UL_syncdir succeed without asking the disk (a test's files need not
// survive a power cut, and a real sync costs milliseconds). On by default.
void setSyncs(bool on);

// ---- Yield hook: UL_yield runs it (the window layer pumps its messages there).
void setYieldHook(std::function<void()> hook);

// ---- Shared areas (UL_getarea): the library that keeps an area's content registers it.
using AreaGet = int16_t (*)(uint32_t host, int16_t number, void** area);
using AreaRelease = int16_t (*)(uint32_t host, int16_t number);
bool setAreaProvider(int16_t number, AreaGet get, AreaRelease release);

// ---- Forget every library-wide state of QORUL (registered windows, language module,
// trace settings); live memory blocks are kept.
void reset();

}  // namespace qorul

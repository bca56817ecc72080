// The WOW64 test and the per-thread file-system redirection switch.
//
// The 64-bit Windows build stands in for the 32-bit program on 64-bit Windows
// (it is the build that runs under Wine here), so there IsWow64 answers true:
// the registry class, the dumps and the system summary then take the same
// 64-bit-Windows paths (Wow6432Node sections, both registry views) as the
// 32-bit program does on such a machine. A 64-bit process is never subject to
// file-system redirection, so there the two switch functions do nothing and
// report success, as the 32-bit program's calls succeed on 64-bit Windows.
// The native (Linux) build answers false and switches nothing.
#pragma once

namespace velto {

// True when the process runs under WOW64; asked once and cached.
bool IsWow64();
// Looks up the redirection switches once; the report worker calls it at its start.
void InitWow64Redirection();
// Switches redirection off for the calling thread, keeping the previous state in *old_state.
bool DisableWow64Redirection(void** old_state);
// Restores the state DisableWow64Redirection kept.
bool RevertWow64Redirection(void* old_state);

}  // namespace velto

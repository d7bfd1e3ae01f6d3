#pragma once
// How the C library's allocator serves the client's transfer buffers.

namespace solvane {

// Segment buffers (256 KiB) and the buffers of a batch of small files (up
// to a few MiB) are freed and taken again many times a second. Without this
// they would be mapped and unmapped, or given back at the top of an arena,
// each time, and every new use would fault its pages in again: on a
// virtual machine that costs more than the transfer itself. A few arenas
// and a few MiB kept free in each bound what stays taken.
void KeepTransferBuffersForReuse();

}  // namespace solvane

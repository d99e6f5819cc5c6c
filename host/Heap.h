// How the process's heap is set up for large documents.
//
// A 10,000-page document makes QPDF allocate some 90 MB in small pieces. Each 4 KB page of heap
// touched for the first time costs a page fault, and on a virtual machine a fault is dear: half
// the time spent reading such a document went to faults and to glibc growing the heap. On
// transparent huge pages one fault serves 2 MB. The kernel gives them to memory that asks for
// them (madvise), which a heap grown by brk cannot do once for all: each growth is a new mapping.
// So the heap grows in large steps, and each step is asked for huge pages as the host sees it.
#pragma once

namespace tesser::host {

// Once per process (later calls do nothing): keeps freed memory at the top of the heap with the
// process, grows the heap in steps of kHeapStep and asks for huge pages on it where the system
// offers them on request ("madvise" or "always" in
// /sys/kernel/mm/transparent_hugepage/enabled). Elsewhere the heap is left as glibc sets it up.
void PrepareHeap();

// Asks for huge pages on what the heap has grown by since the last call. Costs nothing when it
// has not grown; the host calls it as documents are opened and their pages taken up.
void CoverHeapGrowth();

} // namespace tesser::host

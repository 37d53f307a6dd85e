// The process's heap, set up for a program that allocates and frees whole pictures.
#pragma once

// Call first thing in main. Pictures below 32 MiB come from the heap and stay there when
// freed, so the next picture reuses memory already faulted in, and the heap is advised
// onto transparent huge pages, so a picture is faulted in a few times rather than once
// per 4 KiB page (each fault is costly, above all in a virtual machine). glibc takes at
// most 32 MiB as the threshold; larger pictures are mapped on their own. A forked child
// calls it again, which moves what it allocates next onto huge pages the parent never
// touched.
void PrepareProcessHeap();

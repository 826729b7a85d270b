// Memory for pugixml's trees in a process that loads a feed and ends.
#pragma once

// From now on pugixml takes the memory of its trees from mappings made with
// their pages present, a few at a time, instead of from the heap, where each
// new 4 KiB page costs a page fault: about 2,000 of them for a feed of
// 10,000 posts, which on a virtual machine cost more than making the pages
// present in a few system calls. A mapping is given back once nothing in it
// is in use. For orvanctl, where every page is new; call it before any tree
// is made.
void UsePrefaultedTreeMemory();

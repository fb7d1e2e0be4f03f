#pragma once

// Counts the forks of this process that the calling process is a child of.
// A fork copies only the thread that called it: an object that started
// threads before a fork (a worker pool) finds by this number that they do
// not exist in the child and starts its own.
namespace ProcessFork {
// 0 in the process that first asked; one more in each child forked after.
unsigned generation();
}

// Example for the library overview (docs/LIBRARY.md): counted components that hold refs to
// their own class. The declarations of counted_nodes.cpp, for the tests that run it.
#pragma once

#include <vector>

#include <ortolib/core/component.h>
#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>

namespace example {

class node;

// A chain of nodes named as names, in that order; null for no names.
pt::ref<node> make_chain(const std::vector<pt::string>& names);

// The names of the chain from head on, " -> " between them.
pt::string chain_text(const pt::ref<node>& head);

}  // namespace example

// Counted components that hold refs to their own class: a chain of nodes, each holding the
// next. A ref may be declared, copied and destroyed where its class is still incomplete, as in
// the class itself or in a header that only declares it.
#include <vector>

#include <ortolib/core/component.h>
#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>

namespace example {

class node : public pt::component {
 public:
  explicit node(const pt::string& text) : name(text) {}
  pt::string name;
  pt::ref<node> next;  // node is incomplete here, which a ref allows
};

pt::ref<node> make_chain(const std::vector<pt::string>& names) {
  pt::ref<node> head;
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    pt::ref<node> first = pt::make_ref<node>(*name);
    first->next = head;  // the new first node holds the rest
    head = first;
  }
  return head;  // the last ref to the head releases the whole chain
}

pt::string chain_text(const pt::ref<node>& head) {
  pt::string text;
  for (const node* at = head.get(); at != nullptr; at = at->next.get()) {
    if (!text.empty())
      text += " -> ";
    text += at->name;
  }
  return text;
}

}  // namespace example

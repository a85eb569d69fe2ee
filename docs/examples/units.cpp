// Units: a step whose work reads its input stream and writes its output stream. Linked with
// connect, each unit behind the head runs on a thread of its own and reads what the unit in
// front of it writes. Units are counted components: made with new, held by references.
#include "units.h"

#include <ortolib/streams/outmemory.h>

namespace example {

void text_source::work() { output_stream->write_text(text.text()); }

void upper_case::work() {
  char block[512];
  for (std::int32_t got; (got = input_stream->read_block(block, sizeof block)) > 0;) {
    for (std::int32_t i = 0; i < got; ++i) {
      if (block[i] >= 'a' && block[i] <= 'z')
        block[i] = static_cast<char>(block[i] - 'a' + 'A');
    }
    output_stream->write_block(block, got);
  }
}

pt::string shout(const char* text, bool asynchronous) {
  auto* source = pt::addref(new text_source(text));
  auto* upper = pt::addref(new upper_case);
  auto* memory = pt::addref(new pt::outmemory);
  pt::assign_ref(upper->output_stream, memory);  // the unit holds a reference of its own
  source->connect(upper);  // source's output feeds upper's input through a pipe

  // Starts upper on a thread of its own, then runs source: here, or on a second thread.
  source->run_unit(asynchronous);
  // Finishes the chain: waits for every unit in it and unlinks them. After a synchronous
  // run the chain is finished already and this returns at once.
  source->wait_run();

  // A finished unit holds std_output again; memory stays open with the text in it.
  pt::string result = memory->collected_text();
  pt::release(memory);
  pt::release(upper);
  pt::release(source);
  return result;
}

}  // namespace example

// Units: a step whose work reads its input stream and writes its output stream. Linked with
// connect, each unit behind the head runs on a thread of its own and reads what the unit in
// front of it writes. Units are counted components: made with new, held by pt::ref.
#include <cstdint>
#include <stdexcept>
#include <string>

#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>
#include <ortolib/streams/outmemory.h>
#include <ortolib/units/unit.h>

namespace example {

// Writes a text to its output.
class text_source : public pt::unit {
 public:
  explicit text_source(const pt::string& text) : text(text) {}
  pt::string text;

 protected:
  void work() override { output_stream->write_text(text.text()); }
};

// Copies its input to its output with ASCII letters in upper case.
class upper_case : public pt::unit {
 protected:
  void work() override {
    char block[512];
    for (std::int32_t got; (got = input_stream->read_block(block, sizeof block)) > 0;) {
      for (std::int32_t i = 0; i < got; ++i) {
        if (block[i] >= 'a' && block[i] <= 'z')
          block[i] -= 'a' - 'A';
      }
      output_stream->write_block(block, got);
    }
  }
};

// Copies its input line by line, each line after its number: "1: first". An empty line is
// refused: any exception that leaves work, the standard library's too, is a failure of the unit.
class line_numbers : public pt::unit {
 protected:
  void work() override {
    pt::string line;
    for (std::int32_t number = 1; input_stream->read_line(line); ++number) {
      if (line.is_empty())
        throw std::invalid_argument("empty line " + std::to_string(number));
      output_stream->format("%d: %s\n", number, line);
    }
  }
};

pt::string numbered_shout(const char* text, bool asynchronous, pt::string& failure) {
  pt::ref source = pt::make_ref<text_source>(text);
  pt::ref upper = pt::make_ref<upper_case>();
  pt::ref numbers = pt::make_ref<line_numbers>();
  pt::ref memory = pt::make_ref<pt::outmemory>();
  pt::assign_ref(numbers->output_stream, memory);  // the unit holds a reference of its own
  source->connect(upper.get());   // source's output feeds upper's input through a pipe,
  upper->connect(numbers.get());  // and upper's output feeds numbers' input

  // Starts numbers and upper on threads of their own, then runs source: here, or on a
  // thread of its own as well.
  source->run_unit(asynchronous);
  // Finishes the chain: waits for every unit in it and unlinks them. After a synchronous
  // run the chain is finished already and this returns at once.
  source->wait_run();

  // The head answers for its whole chain: whether any unit of it failed, which one first and
  // why. Each unit also says so of itself (failed(), last_error()), and by default writes
  // "Error: <message>" on std_error.
  failure = source->chain_failed() ? source->first_failed_unit() + ": " + source->first_error()
                                   : pt::string();
  // A finished unit holds std_output again; memory stays open with the text in it.
  return memory->collected_text();
}

}  // namespace example

// Shared set-up of the forms tests: the runtime with the macro and forms
// opcodes, the text engine with a store, the fixed objects, and headless
// seams; helpers that run the property opcodes as byte code.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/bi_objects.h"
#include "forms/geometry.h"
#include "forms/native.h"
#include "forms/objects.h"
#include "forms/options.h"
#include "forms/prop_dispatch.h"
#include "forms/prop_table.h"
#include "forms/routing.h"
#include "forms/templates.h"
#include "forms/timers.h"
#include "forms/view_metrics.h"
#include "macro/code_cache.h"
#include "macro/names.h"
#include "macro/state.h"
#include "tests/macro/builtin_fixture.h"
#include "tests/support/headless/view_fakes.h"

namespace formstest {

using bitest::Out;

class FormsTest : public bitest::BufferBuiltinTest {
 protected:
  void SetUp() override {
    BufferBuiltinTest::SetUp();
    ASSERT_TRUE(forms_register_opcodes(vm_dispatch));
    native_table_reset();
    viewtest::install();
    editor_options_reset();
    routing_reset();
    obj_set_event_runner(nullptr);
    screen_metrics() = ScreenMetrics{};
    ASSERT_EQ(objects_init(1024, 768), 0);
  }
  void TearDown() override {
    native_table_reset();
    obj_timer_free_all();
    obj_timers_use_clock(nullptr);
    objects_shutdown();
    BufferBuiltinTest::TearDown();
  }

  // Every kind of object served by `ops` (the headless functions with some
  // replaced), until the fixture ends.
  static void native_for_all(const NativeWindowOps& ops) {
    static NativeWindowOps kept;
    kept = ops;
    native_set_table({&kept, &kept, &kept});
  }
  // The frame object, typed as once the first buffer is shown.
  WindowObject* frame() {
    WindowObject* f = obj_frame_object();
    if (f->type != kObjFrame) obj_set_type(f, kObjFrame), prop_set_field(f->props, 47, 3);
    return f;
  }
  // A form under the frame (a top-level form) and a control in it.
  WindowObject* form(int32_t scale = 1) {
    WindowObject* f = window_new_child(nullptr);
    obj_set_type(f, kObjForm);
    prop_set_field(f->props, 47, static_cast<uint32_t>(scale));
    return f;
  }
  WindowObject* control(WindowObject* parent, int32_t type) {
    WindowObject* c = window_new_child(parent);
    obj_set_type(c, type);
    return c;
  }

  // Runs a short program and returns the result: `emit` adds instructions
  // whose result (if any) it leaves on the stack; `pushes` says whether one
  // is left.
  template <typename Emit>
  Out run_code(Emit emit, bool pushes) {
    bc::ImageBuilder b;
    const uint32_t result = static_cast<uint32_t>(var_alloc_global());
    const uint16_t link = b.global(static_cast<uint16_t>(result));
    const uint16_t p = b.proc(0, 0, 0);
    emit(b);
    if (pushes) b.op("assign", {bc::var(link)});
    b.op("return");
    vmtest::shown.clear();
    vm_set_rc(0);
    Out o;
    o.stop = run(b, p);
    o.raised = vmtest::shown.empty() ? 0 : vmtest::shown.back().code;
    o.rc = rc();
    o.value = value(result);
    return o;
  }
  static bc::Opnd pid(int id) { return bc::make('p', static_cast<uint32_t>(id)); }
  static bc::Opnd z(int v) { return bc::make('z', static_cast<uint32_t>(v)); }

  // A get of the current object's property.
  Out get(int id) {
    return run_code([&](bc::ImageBuilder& b) { b.op("property_get_current", {pid(id)}); }, true);
  }
  // A get through a handle (depth 0).
  Out get(int64_t handle, int id) {
    return run_code(
        [&](bc::ImageBuilder& b) {
          b.op("push_const", {bc::k(std::to_string(handle))});
          b.op("property_get_handle", {pid(id), z(0)});
        },
        true);
  }
  Out set(int id, const std::string& v) {
    return run_code(
        [&](bc::ImageBuilder& b) {
          b.op("push_const", {bc::k(v)});
          b.op("property_set_current", {pid(id)});
        },
        false);
  }
  Out set(int64_t handle, int id, const std::string& v) {
    return run_code(
        [&](bc::ImageBuilder& b) {
          b.op("push_const", {bc::k(std::to_string(handle))});
          b.op("push_const", {bc::k(v)});
          b.op("property_set_handle", {pid(id), z(0)});
        },
        false);
  }
  // The value of a property read through the direct entry point.
  static std::string read(WindowObject* o, int id) {
    char out[1100];
    prop_get_cstr_by_handle(o->handle, static_cast<uint32_t>(id), out, sizeof out);
    return out;
  }
};

// Templates in the names table, kept in memory, with the frame typed.
class TemplatesTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    ASSERT_EQ(name_pool_init(), 0);
    cache_set_limit(-1);
    frame();
  }
};

}  // namespace formstest

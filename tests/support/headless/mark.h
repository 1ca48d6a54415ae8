// Every headless answer's source includes this. A program holding any of
// them has a "zvx_headless" section, which the editor's wiring check refuses:
// the editor must answer every port itself.
#pragma once

[[gnu::used, gnu::section("zvx_headless")]] static const char zvx_headless_mark = 1;

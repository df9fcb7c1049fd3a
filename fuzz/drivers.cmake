# The fuzz drivers, shared by the libFuzzer targets and the regression tests that replay their
# corpus and crash inputs. Included by both, so each can build them with its own flags.
set(ZALTRIM_FUZZ_DRIVER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/effect_harness.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dispatcher_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chunk_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_driver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clap_driver.cpp
)
set(ZALTRIM_FUZZ_DRIVER_DIR ${CMAKE_CURRENT_LIST_DIR})

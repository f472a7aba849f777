# Runs a test executable from a bundle of its own whose Info.plist asks for
# the kernel's own pools, so that every allocation of the process, from before
# main on, goes through them.
#   cmake -DTEST_EXECUTABLE=... -DBUNDLE_PARENT=... -P RunInPoolMode.cmake
set(bundle "${BUNDLE_PARENT}/PoolMode.app")
file(REMOVE_RECURSE "${bundle}")
file(MAKE_DIRECTORY "${bundle}/Contents/MacOS")
file(COPY "${TEST_EXECUTABLE}" DESTINATION "${bundle}/Contents/MacOS")
file(WRITE "${bundle}/Contents/Info.plist" [=[<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>MemoryAllocator</key><string>qirn</string></dict></plist>
]=])
get_filename_component(name "${TEST_EXECUTABLE}" NAME)
set(ENV{QIRN_EXPECT_ALLOCATOR} qirn)
execute_process(COMMAND "${bundle}/Contents/MacOS/${name}" RESULT_VARIABLE result)
file(REMOVE_RECURSE "${bundle}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${name} in pool mode: ${result}")
endif()

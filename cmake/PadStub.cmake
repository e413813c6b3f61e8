# Pads the linked stub with zero bytes to exactly SIZE bytes, so that a package
# appended to it starts where the package format says.
#   cmake -DINPUT=<linked stub> -DOUTPUT=<shipped stub> -DSIZE=<bytes> -P PadStub.cmake
foreach(var INPUT OUTPUT SIZE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PadStub.cmake: ${var} is not set")
  endif()
endforeach()

file(SIZE "${INPUT}" unpadded)
get_filename_component(name "${OUTPUT}" NAME)
if(unpadded GREATER SIZE)
  math(EXPR over "${unpadded} - ${SIZE}")
  message(FATAL_ERROR
    "${name} is ${unpadded} bytes, ${over} bytes over STUB_SIZE (${SIZE}). "
    "Packages start at STUB_SIZE, so the stub must shrink: look for new library code "
    "pulled in (printf family, exceptions, iostreams) in the link map.")
endif()

math(EXPR headroom "${SIZE} - ${unpadded}")
math(EXPR permille "(${headroom} * 1000 + ${SIZE} / 2) / ${SIZE}")
math(EXPR percent "${permille} / 10")
math(EXPR tenth "${permille} % 10")
message(STATUS "${name}: ${unpadded} bytes unpadded, STUB_SIZE ${SIZE}, "
               "headroom ${headroom} bytes (${percent}.${tenth} %)")

# Written beside the target and renamed, so that a failed step never leaves a
# stub of the wrong size behind.
get_filename_component(out_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
set(partial "${OUTPUT}.partial")
file(COPY_FILE "${INPUT}" "${partial}")
execute_process(COMMAND truncate -s "${SIZE}" "${partial}" RESULT_VARIABLE failed)
file(SIZE "${partial}" padded)
if(failed OR NOT padded EQUAL SIZE)
  file(REMOVE "${partial}")
  message(FATAL_ERROR "could not pad ${OUTPUT} to ${SIZE} bytes")
endif()
file(RENAME "${partial}" "${OUTPUT}")

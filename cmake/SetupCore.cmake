# Flags shared by everything that goes into the stub: small code, no unwind
# tables, no exceptions, no RTTI, and no guards on local statics (the stub
# runs one thread; a guard pulls some 150 KB of the runtime into the link).
# The Windows build applies them to the portable core as well, so that the
# stub links one copy of it.
set(SETUP_STUB_FLAGS
  -Os -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics>)

function(setup_stub_flags target)
  target_compile_options(${target} PRIVATE ${SETUP_STUB_FLAGS})
endfunction()

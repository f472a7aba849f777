# One place for the compiler flags every kernel, test and bench target shares.
add_library(qirn_warnings INTERFACE)
target_compile_options(qirn_warnings INTERFACE
  -Wall -Wextra -Wno-multichar)
if(QIRN_WERROR)
  target_compile_options(qirn_warnings INTERFACE -Werror)
endif()

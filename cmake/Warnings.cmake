# Every target of ours builds with the same warnings; third-party code does not.
function(icofmt_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ICOFMT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

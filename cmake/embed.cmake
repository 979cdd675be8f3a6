# qor_embed_text(OUT_CPP INPUT SYMBOL): generates a C++ file that holds the bytes of INPUT as
# `extern const char SYMBOL[]` (NUL-terminated), rebuilt whenever INPUT changes.
function(qor_embed_text out_cpp input symbol)
  add_custom_command(
    OUTPUT ${out_cpp}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${out_cpp} -DSYMBOL=${symbol}
            -P ${PROJECT_SOURCE_DIR}/cmake/embed_run.cmake
    DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/embed_run.cmake
    COMMENT "Embedding ${input}"
    VERBATIM)
endfunction()

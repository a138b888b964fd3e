# libFuzzer harnesses are built with clang (gcc has no libFuzzer), straight
# from their sources, with AddressSanitizer and UndefinedBehaviorSanitizer.
#
# rdz_add_fuzzer(NAME name SOURCES harness.cpp... [SECONDS n])
#   builds build/.../fuzz/<name> and registers the ctest test fuzz.<name>,
#   which runs it for SECONDS (default 60) over a corpus folder in the build
#   tree, seeded from tests/fuzz/corpus/<name> when that exists.
find_program(RDZ_CLANGXX NAMES clang++ clang++-14)

function(rdz_add_fuzzer)
    cmake_parse_arguments(FUZZ "" "NAME;SECONDS" "SOURCES" ${ARGN})
    if(NOT RDZ_CLANGXX)
        message(WARNING "clang++ not found: fuzzer ${FUZZ_NAME} not built")
        return()
    endif()
    if(NOT FUZZ_SECONDS)
        set(FUZZ_SECONDS 60)
    endif()
    set(output ${CMAKE_BINARY_DIR}/fuzz/${FUZZ_NAME})
    set(sources)
    foreach(source IN LISTS FUZZ_SOURCES)
        get_filename_component(absolute ${source} ABSOLUTE)
        list(APPEND sources ${absolute})
    endforeach()
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fuzz
        COMMAND ${RDZ_CLANGXX} -std=c++17 -O1 -g -Wall -Wextra -Werror
                -finput-charset=UTF-8
                -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
                -I${PROJECT_SOURCE_DIR} ${sources} -o ${output}
        DEPENDS ${sources}
        IMPLICIT_DEPENDS CXX ${sources}
        COMMENT "Building fuzzer ${FUZZ_NAME}"
        VERBATIM)
    add_custom_target(fuzz_${FUZZ_NAME} ALL DEPENDS ${output})
    set(corpus ${CMAKE_BINARY_DIR}/fuzz/${FUZZ_NAME}-corpus)
    set(seeds ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${FUZZ_NAME})
    add_test(NAME fuzz.${FUZZ_NAME}
        COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                ${PROJECT_SOURCE_DIR}/scripts/run-fuzzer.sh ${output} ${corpus} ${seeds} ${FUZZ_SECONDS})
    set_tests_properties(fuzz.${FUZZ_NAME} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()

# The Python package's pytest files as CTest tests (label `python`). Where
# the interpreter, numpy, pytest or a test's own package is missing, the
# test prints SKIPPED with the reason and CTest lists it as skipped.
set(ORVANE_PYTEST_FILES model files checks dask example)
set(ORVANE_PYTEST_NEEDS_dask distributed)
set(ORVANE_PYTEST_NEEDS_example matplotlib)

set(reason "${ORVANE_PYTHON_SKIP_REASON}")
if(NOT reason)
  execute_process(COMMAND ${ORVANE_PYTHON_EXECUTABLE} -c "import pytest, pandas" RESULT_VARIABLE failed
                  OUTPUT_QUIET ERROR_QUIET)
  if(failed)
    set(reason "${ORVANE_PYTHON_EXECUTABLE} cannot import pytest and pandas (install python3-pytest, python3-pandas)")
  endif()
endif()

foreach(name IN LISTS ORVANE_PYTEST_FILES)
  set(skip "${reason}")
  if(NOT skip AND ORVANE_PYTEST_NEEDS_${name})
    execute_process(COMMAND ${ORVANE_PYTHON_EXECUTABLE} -c "import ${ORVANE_PYTEST_NEEDS_${name}}"
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
    if(failed)
      set(skip "${ORVANE_PYTHON_EXECUTABLE} cannot import ${ORVANE_PYTEST_NEEDS_${name}}")
    endif()
  endif()
  if(skip)
    add_test(NAME python_${name} COMMAND sh -c "echo 'SKIPPED: ${skip}'; exit 77")
    set_tests_properties(python_${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS python)
  else()
    add_test(NAME python_${name}
             COMMAND ${ORVANE_PYTHON_EXECUTABLE} -m pytest -q -p no:cacheprovider
                     ${CMAKE_SOURCE_DIR}/python/tests/test_${name}.py
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(python_${name} PROPERTIES LABELS python TIMEOUT 600
      ENVIRONMENT "PYTHONPATH=${CMAKE_BINARY_DIR}/python;ORVANE_BUILD_DIR=${CMAKE_BINARY_DIR};MPLBACKEND=Agg")
  endif()
endforeach()

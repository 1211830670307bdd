# The encrypted mail server of the support mail's tests computes its records with CNG.
target_link_libraries(errors_tests PRIVATE bcrypt)

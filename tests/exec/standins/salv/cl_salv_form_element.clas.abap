* Stand-in: an element of a SALV form (the heading above a table).
CLASS cl_salv_form_element DEFINITION PUBLIC ABSTRACT CREATE PUBLIC.
  PUBLIC SECTION.
    " The element as the tests read it: a JSON array of its cells.
    METHODS to_json ABSTRACT
      RETURNING VALUE(rv_json) TYPE string.
ENDCLASS.

CLASS cl_salv_form_element IMPLEMENTATION.
ENDCLASS.

* Stand-in: the form a SALV table hands its TOP_OF_PAGE handlers to fill.
CLASS cl_salv_form DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS set_content
      IMPORTING value TYPE REF TO cl_salv_form_element.
    METHODS get_content
      RETURNING VALUE(value) TYPE REF TO cl_salv_form_element.
  PRIVATE SECTION.
    DATA mo_content TYPE REF TO cl_salv_form_element.
ENDCLASS.

CLASS cl_salv_form IMPLEMENTATION.
  METHOD set_content.
    mo_content = value.
  ENDMETHOD.

  METHOD get_content.
    value = mo_content.
  ENDMETHOD.
ENDCLASS.

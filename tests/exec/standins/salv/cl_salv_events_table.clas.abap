* Stand-in: the events of a SALV table the reports handle. TOP_OF_PAGE is
* raised by the list display at the top of each page, as on SAP.
CLASS cl_salv_events_table DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    EVENTS top_of_page
      EXPORTING
        VALUE(r_top_of_page) TYPE REF TO cl_salv_form
        VALUE(page)          TYPE i
        VALUE(table_index)   TYPE i.
    METHODS raise_top_of_page
      IMPORTING io_form  TYPE REF TO cl_salv_form
                iv_page  TYPE i
                iv_index TYPE i.
ENDCLASS.

CLASS cl_salv_events_table IMPLEMENTATION.
  METHOD raise_top_of_page.
    RAISE EVENT top_of_page
      EXPORTING
        r_top_of_page = io_form
        page          = iv_page
        table_index   = iv_index.
  ENDMETHOD.
ENDCLASS.

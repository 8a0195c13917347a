*&---------------------------------------------------------------------*
*& Report zgolden_list_heading
*& Connections from a city
*&---------------------------------------------------------------------*
*& Author:  MBAKER
*& Company: Northwind Air Services
*&---------------------------------------------------------------------*
REPORT zgolden_list_heading.

SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_cityf.
PARAMETERS p_cityfr TYPE spfli-cityfrom OBLIGATORY DEFAULT 'FRANKFURT'.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_cityt.
PARAMETERS p_cityto TYPE spfli-cityto.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN SKIP 1.
SELECTION-SCREEN END OF BLOCK b1.

CLASS lcl_report DEFINITION FINAL.
  PUBLIC SECTION.
    METHODS run.

  PRIVATE SECTION.
    TYPES:
      BEGIN OF ty_output,
        carrid   TYPE spfli-carrid,
        connid   TYPE spfli-connid,
        cityfrom TYPE spfli-cityfrom,
        cityto   TYPE spfli-cityto,
        carrname TYPE scarr-carrname,
        url      TYPE scarr-url,
      END OF ty_output,
      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.

    DATA mt_output TYPE ty_output_tab.
    DATA mo_alv TYPE REF TO cl_salv_table.

    METHODS select_data.
    METHODS check_authority
      IMPORTING
        iv_table TYPE dd25v-viewname.
    METHODS display
      RAISING
        cx_salv_msg
        cx_salv_not_found.
    METHODS set_column_text
      IMPORTING
        io_columns TYPE REF TO cl_salv_columns_table
        iv_column  TYPE lvc_fname
        iv_text    TYPE csequence
      RAISING
        cx_salv_not_found.
    METHODS heading
      RETURNING
        VALUE(ro_heading) TYPE REF TO cl_salv_form_layout_grid.
    METHODS on_top_of_page
      FOR EVENT top_of_page OF cl_salv_events_table
      IMPORTING
        r_top_of_page.
ENDCLASS.

CLASS lcl_report IMPLEMENTATION.
  METHOD run.
    select_data( ).
    TRY.
        display( ).
      CATCH cx_salv_msg cx_salv_not_found INTO DATA(lx_error).
        MESSAGE lx_error TYPE 'I' DISPLAY LIKE 'E'.
    ENDTRY.
  ENDMETHOD.

  METHOD select_data.
    check_authority( 'SPFLI' ).
    check_authority( 'SCARR' ).
    SELECT a~carrid, a~connid, a~cityfrom, a~cityto, b~carrname, b~url
      FROM spfli AS a
      INNER JOIN scarr AS b ON a~carrid = b~carrid
      INTO TABLE @mt_output
      WHERE a~cityfrom = @p_cityfr
        AND a~cityto <> @p_cityto
      ORDER BY a~carrid, a~connid, a~cityfrom, a~cityto, b~carrname, b~url ##SUBRC_OK.
  ENDMETHOD.

  METHOD check_authority.
    CALL FUNCTION 'VIEW_AUTHORITY_CHECK'
      EXPORTING
        view_action                    = 'S'
        view_name                      = iv_table
      EXCEPTIONS
        invalid_action                 = 1
        no_authority                   = 2
        no_clientindependent_authority = 3
        table_not_found                = 4
        no_linedependent_authority     = 5.
    IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5.
      MESSAGE |{ 'No authorisation to display table'(001) } { iv_table }| TYPE 'S' DISPLAY LIKE 'E'.
      LEAVE LIST-PROCESSING.
    ENDIF.
  ENDMETHOD.

  METHOD display.
    cl_salv_table=>factory( EXPORTING list_display = abap_true
                            IMPORTING r_salv_table = mo_alv
                            CHANGING  t_table      = mt_output ).
    mo_alv->get_functions( )->set_all( abap_true ).

    DATA(lo_columns) = mo_alv->get_columns( ).
    lo_columns->set_optimize( abap_true ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRID'
                     iv_text    = 'Airline'(002) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CONNID'
                     iv_text    = 'Flight Number'(003) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CITYFROM'
                     iv_text    = 'Depart.city'(004) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CITYTO'
                     iv_text    = 'Arrival city'(005) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRNAME'
                     iv_text    = 'Airline name'(006) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'URL'
                     iv_text    = 'URL'(007) ).

    DATA(lo_layout) = mo_alv->get_layout( ).
    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).
    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).

    SET HANDLER on_top_of_page FOR mo_alv->get_event( ).
    mo_alv->display( ).
  ENDMETHOD.

  METHOD set_column_text.
    DATA(lo_column) = io_columns->get_column( iv_column ).
    lo_column->set_long_text( CONV #( iv_text ) ).
    lo_column->set_medium_text( CONV #( iv_text ) ).
    lo_column->set_short_text( CONV #( iv_text ) ).
  ENDMETHOD.

  METHOD heading.
    ro_heading = NEW #( ).
    ro_heading->create_header_information( row    = 1
                                           column = 1
                                           text   = '<Report Heading>'(008) ).
    ro_heading->create_text( row    = 2
                             column = 1
                             text   = |{ 'Date:'(009) } { sy-datum DATE = USER }| ).
  ENDMETHOD.

  METHOD on_top_of_page.
    r_top_of_page->set_content( heading( ) ).
  ENDMETHOD.
ENDCLASS.

INITIALIZATION.
  sc_cityf = 'Depart.city'(004).
  sc_cityt = 'Arrival city'(005).

START-OF-SELECTION.
  NEW lcl_report( )->run( ).
